// Times the real drusel-update flash command, as a user runs it, from its start to its
// exit: identification, speed switch, upload, the way back and the final report.
#pragma once
#include <string>

struct FlashCommandTiming {
    int exitCode = -1;
    double wall = 0;           // seconds from the spawn to the exit
    double uploadSeconds = 0;  // the upload alone, as the command measured it ("seconds")
    std::string speedReturn;   // the command's "speed_return" words, empty at 115200
};

// What starting the program costs on its own: `program check IMAGE` (start, the image
// read, the report, the exit), in seconds; negative when it did not run.
double TimeProgramStart(const std::string& program, const std::string& imagePath);

// Runs `program --port PORT --speed SPEED --json flash IMAGE`; false when it could not be
// started or gave no result line.
bool TimeFlashCommand(const std::string& program, const std::string& port, int speed, const std::string& imagePath,
                      FlashCommandTiming* timing);
