// Helpers of the desktop program's Qt Tests: a message-box recorder, a small terrain raster,
// windows shown offscreen, children found by name. Brings Qt's widgets and test modules, the
// data-folder fixtures and the command line runner, so a test includes only what it drives.
#pragma once

#include <deque>
#include <tuple>
#include <utility>
#include <vector>

#include <QtTest>
#include <QtWidgets>

#include "../cli/run_cli.h"
#include "data/data_folder.h"
#include "data/terrain.h"
#include "shell/main_window.h"
#include "shell/message_box.h"

namespace zentrel::gui::test {

// The program looks its data folder up at start, which also tells where the shared terrain lies
// for a folder of stations alone; the windows here are given their folder directly, so each test
// program makes that lookup once as the program does.
inline const bool kDataLookedUp = [] {
    std::error_code ec;
    locateDataFolder(std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string(), "given");
    return true;
}();

/// Records every message box instead of showing it; answers from a script (default: the
/// first button of the box, Yes before No, OK before Cancel).
class MessageRecorder {
public:
    MessageRecorder() {
        previous_ = setMessageBoxHandler([this](QWidget*, const MessageRequest& request) {
            requests.push_back(request);
            if (!answers.empty()) {
                const auto answer = answers.front();
                answers.pop_front();
                return answer;
            }
            for (auto button : {QMessageBox::Ok, QMessageBox::Yes})
                if (request.buttons & button) return button;
            return QMessageBox::NoButton;
        });
    }
    ~MessageRecorder() { setMessageBoxHandler(std::move(previous_)); }

    void clear() { requests.clear(); }
    void reset() { requests.clear(), answers.clear(); }
    int count() const { return static_cast<int>(requests.size()); }
    const MessageRequest& last() const { return requests.back(); }
    /// The only box shown since the last clear, as said(); "(N messages)" for none or more.
    QString saidOnce() const { return count() == 1 ? said() : QStringLiteral("(%1 messages)").arg(count()); }
    /// The last box as "title | text | icon", to compare in one step.
    QString said() const {
        if (requests.empty()) return QStringLiteral("(no message)");
        static const char* icons[] = {"NoIcon", "Information", "Warning", "Critical", "Question"};
        return last().title + QStringLiteral(" | ") + last().text + QStringLiteral(" | ") + QLatin1String(icons[last().icon]);
    }

    std::vector<MessageRequest> requests;
    std::deque<QMessageBox::StandardButton> answers;

private:
    MessageBoxHandler previous_;
};

/// A terrain raster of sea everywhere except the given (lon, lat, byte) cells, written into folder.
inline void writeTerrain(const QString& folder, const std::vector<std::tuple<float, float, uint8_t>>& cells) {
    std::vector<char> bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, static_cast<char>(255));
    for (auto [lon, lat, byte] : cells) bytes[static_cast<size_t>(terrainByteOffset(lon, lat))] = static_cast<char>(byte);
    std::ofstream out(QDir(folder).filePath(kTerrainFileName).toStdString(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

/// The line edits of a window by name: one, the texts of several, several filled in.
inline QLineEdit* box(QWidget& window, const char* name) { return window.findChild<QLineEdit*>(QLatin1String(name)); }
inline QStringList texts(QWidget& window, std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* name : names) out << box(window, name)->text();
    return out;
}
inline void fill(QWidget& window, std::initializer_list<std::pair<const char*, QString>> texts) {
    for (const auto& [name, text] : texts) box(window, name)->setText(text);
}

/// Shows a window at the given size (its own when empty) and waits until it is on screen.
inline bool shown(QWidget& window, QSize size = {}) {
    if (!size.isEmpty()) window.resize(size);
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

}  // namespace zentrel::gui::test
