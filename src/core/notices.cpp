// The one receiver of notes, each note passed once.
#include "notices.h"

#include <mutex>
#include <set>

namespace zentrel {

namespace {
std::mutex gMutex;
std::function<void(const std::string&)> gHandler;
std::set<std::string> gSeen;
}  // namespace

void setNoticeHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard lock(gMutex);
    gHandler = std::move(handler);
}

void notice(const std::string& text) {
    std::lock_guard lock(gMutex);
    if (!gHandler || !gSeen.insert(text).second) return;
    gHandler(text);
}

}  // namespace zentrel
