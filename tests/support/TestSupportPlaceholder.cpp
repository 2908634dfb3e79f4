// Placeholder so the target has a source; remove when real helpers land.
