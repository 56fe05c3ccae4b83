// The control channel's answers over a real row of ports, and the drusel-sim program as a
// script would use it: start, serve, record the image and the trace, stop on SIGTERM.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "control_server.h"
#include "sim_host_port.h"

namespace {

using sim_test::Bytes;
using sim_test::HostPort;

std::string MakeShortDir() {
    char pattern[] = "/tmp/dsXXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

TEST(SimControlChannel, AnswersEachRequestAboutItsPorts) {
    const std::string dir = MakeShortDir();
    ASSERT_FALSE(dir.empty());
    {
        PortSet ports(dir, 3, {});
        ControlServer server(ports);
        struct Step {
            const char* request;
            std::string answer;
        };
        const Step before[] = {
            {"ports", "ok 3"},
            {"name 2", "ok " + dir + "/p2"},
            {"configure 2 kestrale:S version=4.2.A", "ok"},
            {"configure 3 toaster", "error unknown unit 'toaster'"},
            {"configure 4 kestrale", "error no such port in 'configure 4 kestrale'"},
            {"unit-speed 2", "ok 115200"},
            {"unit-speed 1", "ok 0"},
            {"host-bytes 2", "ok"},
            {"in-use 2", "ok 0"},
            {"bogus 1", "error unknown command 'bogus'"},
            {"name", "error no such port in 'name'"},
        };
        for (const Step& s : before) EXPECT_EQ(server.Answer(s.request), s.answer) << s.request;

        HostPort host(dir + "/p2", 115200);
        ASSERT_TRUE(host.ok());
        host.Write({'V', 'V'});
        EXPECT_EQ(host.Read(3, 2000), (Bytes{4, 2, 'A'}));
        host.Write({'S', 0x07, 0x5A});
        EXPECT_EQ(host.Read(1, 2000), Bytes{'O'});
        const Step after[] = {
            {"host-bytes 2", "ok 565653075A"},
            {"speed-commands 2", "ok 1"},
            {"unit-version 2", "ok 4.2.A"},
            {"in-use 2", "ok 1"},
            {"garbage 2", "ok 0"},
            {"image 2", "ok"},
            {"configure 2 absent", "ok"},
            {"unit-version 2", "error port 2 is absent"},
        };
        for (const Step& s : after) EXPECT_EQ(server.Answer(s.request), s.answer) << s.request;
    }
    EXPECT_EQ(rmdir(dir.c_str()), 0) << "every link is removed";
}

// Starts drusel-sim with `args`; returns its pid and its first stdout line.
pid_t StartSim(std::vector<std::string> args, std::string* firstLine) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv{const_cast<char*>(DRUSEL_SIM_PROGRAM)};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(DRUSEL_SIM_PROGRAM, argv.data());
        _exit(127);
    }
    close(out[1]);
    firstLine->clear();
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') *firstLine += c;
    close(out[0]);
    return pid;
}

int StopSim(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

uint8_t Sum(const Bytes& b) {
    unsigned s = 0;
    for (uint8_t x : b) s += x;
    return static_cast<uint8_t>(s);
}

TEST(SimProgram, SingleUnitRecordsTheImageAndTheTraceAndStopsCleanly) {
    const std::string dir = MakeShortDir();
    const std::string link = dir + "/p1", imageOut = dir + "/image.bin", trace = dir + "/trace.txt";
    std::string ready;
    const pid_t pid = StartSim({"--link", link, "--unit", "gristpell version=3.1.F after=3.2.F", "--image-out",
                                imageOut, "--trace", trace},
                               &ready);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(ready, "ready " + link);
    {
        HostPort host(link, 115200);
        ASSERT_TRUE(host.ok());
        Bytes image(300);
        for (size_t i = 0; i + 1 < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
        image.back() = Sum(Bytes(image.begin(), image.end() - 1));
        host.Write({'f', 0x01, 0x2C, 0x93});
        ASSERT_EQ(host.Read(1, 2000), Bytes{'O'});
        host.Write(Bytes(image.begin(), image.begin() + 256));
        ASSERT_EQ(host.Read(1, 2000), Bytes{'O'});
        Bytes last(image.begin() + 256, image.end());
        last.push_back(Sum(image));
        host.Write(last);
        ASSERT_EQ(host.Read(2, 2000), (Bytes{'O', 'O'}));
        host.Write({'V', 'V'});
        ASSERT_EQ(host.Read(3, 2000), (Bytes{3, 2, 'F'}));

        std::ifstream in(imageOut, std::ios::binary);
        const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(written, image);
    }
    EXPECT_EQ(StopSim(pid), 0);
    EXPECT_LT(access(link.c_str(), F_OK), 0) << "the link is removed on exit";

    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(" H> 66 01 2C 93\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find(" U> 03 02 46\n"), std::string::npos) << text.str();
    unlink(imageOut.c_str());
    unlink(trace.c_str());
    EXPECT_EQ(rmdir(dir.c_str()), 0);
}

TEST(SimProgram, SeveralPortsServeTheirUnitsAndTheControlChannel) {
    const std::string dir = MakeShortDir();
    std::string line;
    const pid_t pid = StartSim({"--ports", "3", "--dir", dir, "--unit", "tamberlin1", "--unit", "absent",
                                "--control-port", "0"},
                               &line);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(line.rfind("control-port ", 0), 0u) << line;
    EXPECT_GT(std::stoi(line.substr(13)), 0);
    {
        HostPort host(dir + "/p1", 115200);
        ASSERT_TRUE(host.ok());
        host.Write({'V', 'V'});
        EXPECT_EQ(host.Read(3, 2000), (Bytes{2, 3, '1'}));
    }
    EXPECT_LT(access((dir + "/p2").c_str(), F_OK), 0) << "an absent unit has no link";
    EXPECT_EQ(StopSim(pid), 0);
    EXPECT_EQ(rmdir(dir.c_str()), 0) << "every link is removed on exit";
}

TEST(SimProgram, RefusesBadUsage) {
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case cases[] = {
        {{}, 2},
        {{"--link", "/tmp/x", "--ports", "2"}, 2},
        {{"--link", "/tmp/x", "--unit", "toaster"}, 2},
        {{"--ports", "2", "--dir", "/nonexistent"}, 2},
        {{"--link", "/nonexistent/dir/p1"}, 1},
    };
    for (const Case& c : cases) {
        std::string line;
        const pid_t pid = StartSim(c.args, &line);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status) << (c.args.empty() ? "" : c.args[0]);
    }
}

}  // namespace
