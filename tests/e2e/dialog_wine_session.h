// The Windows side of the dialog's end-to-end run: a virtual display (Xvfb), a private
// wine prefix with one wine server for the run, COM ports mapped onto emulator ports,
// and the programs started under wine64 through script/wine-run.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "dialog_process.h"

struct WineSessionPaths {
    std::string wineRun;     // script/wine-run
    std::string windowsBin;  // the win64 build's bin folder (DruselUpdater.exe, dialog_driver.exe)
    std::string workDir;     // prefix, logs, images and screenshots live here
};

class WineSession {
public:
    explicit WineSession(WineSessionPaths paths) : paths_(std::move(paths)) {}
    ~WineSession() { Stop(); }

    // Starts the display and the wine server, creating the prefix on first use.
    bool Start(std::string* error);
    void Stop();

    const WineSessionPaths& Paths() const { return paths_; }
    std::string Prefix() const { return paths_.workDir + "/wineprefix"; }
    std::string Display() const { return display_; }
    std::string LogFile() const { return paths_.workDir + "/wine.log"; }

    // Makes COMn of the prefix a link to `target`; an empty or missing target means no
    // such port (CreateFileA then fails with "file not found").
    bool MapPort(int n, const std::string& target, std::string* error);

    // Starts a Windows program of the win64 build with the session's environment.
    bool StartProgram(ChildProcess* child, const std::string& exeName, const std::vector<std::string>& args,
                      bool pipes, std::string* error);

    // A PNG of the virtual screen, trimmed to the windows on it.
    bool Screenshot(const std::string& path, std::string* error);

    // The path under which a Windows program sees a file of this machine.
    static std::string WindowsPath(const std::string& unixPath);

private:
    WineSessionPaths paths_;
    std::string display_;
    std::unique_ptr<ChildProcess> xvfb_;
    bool serverStarted_ = false;

    ChildProcess::Options WineOptions() const;
};
