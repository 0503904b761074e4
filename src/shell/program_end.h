#pragma once

#include <functional>

// Ends the program: closes the database connection (an error of the close is ignored)
// and exits at once. Every caller returns straight after calling it; tests pass one
// that only records the call.
using ProgramEnd = std::function<void()>;
