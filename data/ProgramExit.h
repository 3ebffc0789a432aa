#pragma once

// Ends the program in an orderly way from deep inside start-up: main() catches it and returns
// the exit code after the data modules have been destroyed. Not an error: the start-up retry
// loop lets it pass.
struct ProgramExit {
    int exitCode = 0;
};
