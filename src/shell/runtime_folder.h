#pragma once

// Qt keeps per-user runtime files in XDG_RUNTIME_DIR. A login without one (root in a plain
// shell, su) makes Qt fall back to a private folder in the temporary folder and warn at every
// use; naming that folder in the environment beforehand keeps the fallback without the
// warnings. Call before the application object exists.
void ProvideRuntimeFolder();
