// Placeholder so the target has a source; remove when the app sources land.
