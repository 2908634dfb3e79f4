// Placeholder so the target has a source until the subsystem lands; remove then.
