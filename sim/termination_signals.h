#pragma once

// Makes SIGTERM and SIGINT quit the application's event loop, so the program ends through its
// normal clean-up. Call once, after the application object exists.
void QuitOnTerminationSignals();
