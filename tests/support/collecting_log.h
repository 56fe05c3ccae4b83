// The one collecting log sink of the tests: every finished log line, in order. The
// callback may run on the upload worker as well as the test's thread, hence the lock.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "log.h"

struct CollectingLog {
    std::vector<std::string> lines;  // read once the link's work is done
    LogSink sink;

    CollectingLog() {
        sink.callback = [](void* context, const char* line) {
            auto* self = static_cast<CollectingLog*>(context);
            std::lock_guard<std::mutex> lock(self->mutex);
            self->lines.emplace_back(line);
        };
        sink.context = this;
    }
    CollectingLog(const CollectingLog&) = delete;
    CollectingLog& operator=(const CollectingLog&) = delete;

    bool Contains(const std::string& line) const {
        for (const auto& l : lines) {
            if (l == line) return true;
        }
        return false;
    }

private:
    std::mutex mutex;
};
