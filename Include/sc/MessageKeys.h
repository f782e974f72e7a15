// Message keys that the toolkit sends to an sc::ILog, and the fixed texts of its error log.
// Keys and texts are kept exactly as the system shows them, misspellings included.
#pragma once

namespace sc::msg
{
// Model loader ("@ML.")

// Expression counting ("@CE.")

// Solvers and builders ("@SC.")

// Expression tree ("@ET.")
} // namespace sc::msg
