// The flash command in a child process, its stdout read through a pipe for the result line.
#include "flash_command_timing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

// The text of a JSON field in one flat line: a number, or a string without escapes.
std::string FieldText(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const size_t at = line.find(key);
    if (at == std::string::npos) return "";
    size_t begin = at + key.size();
    const bool quoted = begin < line.size() && line[begin] == '"';
    if (quoted) ++begin;
    const size_t end = line.find(quoted ? '"' : ',', begin);
    return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// Runs the words, stdout into *text; the exit code, or -1.
int RunCapturing(std::vector<std::string> words, std::string* text, double* seconds) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    pid_t child = 0;
    const auto started = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    char chunk[4096];
    ssize_t n = 0;
    while ((n = read(out[0], chunk, sizeof chunk)) > 0) text->append(chunk, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

double TimeProgramStart(const std::string& program, const std::string& imagePath) {
    std::string text;
    double seconds = 0;
    return RunCapturing({program, "check", imagePath}, &text, &seconds) == 0 ? seconds : -1;
}

bool TimeFlashCommand(const std::string& program, const std::string& port, int speed, const std::string& imagePath,
                      FlashCommandTiming* timing) {
    std::string text;
    timing->exitCode = RunCapturing({program, "--port", port, "--speed", std::to_string(speed), "--json", "flash",
                                     imagePath},
                                    &text, &timing->wall);
    if (timing->exitCode < 0) return false;

    const size_t result = text.rfind("{\"event\":\"result\"");
    if (result == std::string::npos) return false;
    const std::string line = text.substr(result, text.find('\n', result) - result);
    timing->uploadSeconds = std::atof(FieldText(line, "seconds").c_str());
    timing->speedReturn = FieldText(line, "speed_return");
    return true;
}
