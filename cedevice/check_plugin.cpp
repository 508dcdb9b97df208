// check-plugin: proves on temporary copies of the device that a plugin
// definition installs, replaces and removes cleanly on every layout file
// of the device's current layout, with the real qorvinstall.
//
// Each layout file is tried in its orientation (a file wider than high is a
// landscape file, of the screen turned upright; a square one is tried both
// ways), then the screen sizes asked for with --screen, each upright and
// turned; plugin_trial.h tells what one trial checks.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "cedevice/device_layouts.h"
#include "cedevice/host_file.h"
#include "cedevice/installer_run.h"
#include "cedevice/plugin_text.h"
#include "cedevice/plugin_trial.h"
#include "cedevice/registry_access.h"
#include "cedevice/scratch_device.h"
#include "cedevice/tool.h"
#include "cedevice/value_text.h"
#include "platform/posix/device/device_conf.h"
#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/wstr.h"

namespace cedevice {

namespace {

bool parseSize(const std::string& text, ScreenSize* size) {
    size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == text.size() ||
        text.find_first_not_of("0123456789x") != std::string::npos ||
        text.find('x', x + 1) != std::string::npos || x > 5 || text.size() - x - 1 > 5) {
        return false;
    }
    size->width = std::stoi(text.substr(0, x));
    size->height = std::stoi(text.substr(x + 1));
    return size->width > 0 && size->height > 0 && size->width <= ce::posix::kMaxScreenSide &&
           size->height <= ce::posix::kMaxScreenSide;
}

// Empty on success, else the exit status of a wrong command line.
std::optional<int> parseArgs(const Args& args, std::vector<ScreenSize>* screens,
                             std::string* file) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (a == "--screen" || a.rfind("--screen=", 0) == 0) {
            if (a == "--screen" && i + 1 == args.size())
                return usageError("--screen takes a size WxH, such as 480x800");
            value = a == "--screen" ? args[++i] : a.substr(9);
            ScreenSize size;
            if (!parseSize(value, &size)) {
                return usageError("--screen takes a size WxH of 1 to " +
                                  std::to_string(ce::posix::kMaxScreenSide) +
                                  " pixels a side, such as 480x800, not '" + value + "'");
            }
            screens->push_back(size);
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("check-plugin does not know the option " + a);
        } else if (file->empty()) {
            *file = a;
        } else {
            return usageError("check-plugin takes one FILE.plg");
        }
    }
    if (file->empty())
        return usageError("check-plugin takes [--screen WxH]... FILE.plg");
    return std::nullopt;
}

void addTrial(std::vector<Trial>* trials, const DeviceLayouts& layouts, const ScreenSize& screen,
              Orientation o) {
    ScreenSize fileSize =
        o == Orientation::Portrait ? screen : ScreenSize{screen.height, screen.width};
    for (const Trial& t : *trials) {
        if (t.screen == screen && t.orientation == o)
            return;
    }
    trials->push_back({screen, o, fileSize, layoutFileOf(layouts, fileSize)});
}

// Every layout file of the device in its orientation, then the sizes asked
// for, each in both.
std::vector<Trial> planTrials(const DeviceLayouts& layouts, const std::vector<ScreenSize>& asked) {
    std::vector<Trial> trials;
    for (const LayoutFile& f : layouts.files) {
        const ScreenSize s = f.size;
        if (s.width <= s.height)
            addTrial(&trials, layouts, s, Orientation::Portrait);
        if (s.width >= s.height)
            addTrial(&trials, layouts, {s.height, s.width}, Orientation::Landscape);
    }
    for (const ScreenSize& s : asked) {
        addTrial(&trials, layouts, s, Orientation::Portrait);
        addTrial(&trials, layouts, s, Orientation::Landscape);
    }
    return trials;
}

// Text from the definition, the registry or a file name as it is printed,
// so that a downloaded .plg cannot drive the terminal of whoever checks it.
std::string shown(const std::string& text) {
    return ce::posix::shownControls(text);
}

const char* stateWord(StepState s) {
    switch (s) {
        case StepState::Passed:
            return "ok";
        case StepState::Failed:
            return "FAILED";
        case StepState::Skipped:
            break;
    }
    return "-";
}

void printStep(const char* name, const Step& step) {
    if (step.state != StepState::Failed)
        return;
    std::printf("      %s: %s\n", name, shown(step.problem).c_str());
    if (!step.hint.empty())
        std::printf("        hint: %s\n", shown(step.hint).c_str());
}

struct Row {
    std::string screen;
    std::string orientation;
    std::string file;
    std::string add;
    std::string replace;
    std::string remove;
    std::string note;  // in place of the three results
};

// The width of "FAILED", the longest word of a step's column.
constexpr size_t kStateWidth = 6;

// The text and blanks up to width, and two more before the next column;
// widths are in characters, so that a layout named beyond ASCII keeps the
// header's columns over its rows'.
std::string padded(const std::string& text, size_t width) {
    const size_t columns = columnsOf(text);
    return text + std::string(width > columns ? width - columns + 2 : 2, ' ');
}

void printRow(const Row& r, const size_t* width) {
    std::string line = "  " + padded(r.screen, width[0]) + padded(r.orientation, width[1]) +
                       padded(r.file, width[2]);
    line += r.note.empty()
                ? padded(r.add, kStateWidth) + padded(r.replace, kStateWidth + 1) + r.remove
                : r.note;
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    std::printf("%s\n", line.c_str());
}

// Sizes as "240x320 and 320x240" or "a, b and c".
std::string sizeList(const std::vector<ScreenSize>& sizes) {
    std::string text;
    for (size_t i = 0; i < sizes.size(); ++i) {
        text += i == 0 ? "" : i + 1 == sizes.size() ? " and " : ", ";
        text += sizeText(sizes[i]);
    }
    return text;
}

}  // namespace

int checkPluginCommand(const Args& args) {
    std::vector<ScreenSize> asked;
    CheckRun check;
    std::string file;
    if (std::optional<int> wrong = parseArgs(args, &asked, &file))
        return *wrong;

    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return fail("cannot read " + file + ": " + std::strerror(EISDIR));
    if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec))
        return fail("cannot read " + file + ": not a regular file");
    std::string error;
    check.plgFile = file;
    if (!readHostFile(file, &check.plgBytes, &error))
        return fail(error);
    check.plg = readPluginText(check.plgBytes);

    check.installer = findInstaller();
    if (check.installer.empty())
        return fail("no qorvinstall beside cedevice or on PATH");
    if (!ce::posix::deviceDirUsable())
        return kExitFailed;
    check.userDevice = ce::posix::deviceDirPath();
    std::string layoutName;
    {
        std::shared_ptr<const ce::posix::RegFile> registry = readRegistry();
        if (registry == nullptr)
            return kExitFailed;
        std::string error;
        if (!currentLayoutName(*registry, &layoutName, &error))
            return fail(error);
    }
    check.layouts = findDeviceLayouts(check.userDevice, layoutName);
    const std::vector<Trial> trials = planTrials(check.layouts, asked);

    if (!makeScratchArea(&check.area, &error))
        return fail(error);
    // From here on every program and every registry read meets the
    // temporary device.
    setenv("CE_DEVICE_DIR", check.area.device.c_str(), 1);

    std::printf("Plugin %s", check.plg.hasName ? shown(check.plg.name).c_str() : "without a name");
    if (check.plg.hasPosition)
        std::printf(", position %d", static_cast<int>(check.plg.position));
    std::printf(", on the layout %s of %s:\n", shown(layoutName).c_str(),
                shown(check.userDevice).c_str());

    // The rows' first cells are known before any run, so that each row can
    // be printed as soon as its layout file has been tried.
    std::vector<Row> rows = {
        {"screen", "orientation", "layout file", "add", "replace", "remove", ""}};
    for (const Trial& t : trials) {
        rows.push_back(
            {sizeText(t.screen), t.orientation == Orientation::Portrait ? "portrait" : "landscape",
             shown(t.file != nullptr ? "\\" + check.layouts.windowsDir + "\\" + t.file->entryName
                                     : layoutDevicePath(layoutName, t.fileSize)),
             "", "", "", ""});
    }
    size_t width[3] = {};
    for (const Row& r : rows) {
        width[0] = std::max(width[0], columnsOf(r.screen));
        width[1] = std::max(width[1], columnsOf(r.orientation));
        width[2] = std::max(width[2], columnsOf(r.file));
    }
    printRow(rows[0], width);
    size_t checked = 0;
    size_t failed = 0;
    for (size_t i = 0; i < trials.size(); ++i) {
        Row& row = rows[i + 1];
        if (trials[i].file == nullptr) {
            row.note = "(not on the device)";
            printRow(row, width);
            continue;
        }
        if (!trials[i].file->reachable) {
            // The installer meets this file as missing (#51 or #151).
            row.note = std::string("FAILED: ") +
                       (check.layouts.windowsReachable
                            ? "a link"
                            : "\\" + shown(check.layouts.windowsDir) + " is a link") +
                       " that leads out of the device's files, which qorvinstall cannot open";
            ++checked;
            ++failed;
            printRow(row, width);
            continue;
        }
        TrialOutcome out = runTrial(check, trials[i]);
        endIfInterrupted(&check.area);
        ++checked;
        failed += out.passed() ? 0 : 1;
        row.add = stateWord(out.add.state);
        row.replace = stateWord(out.replace.state);
        row.remove = stateWord(out.remove.state);
        printRow(row, width);
        printStep("before the add", out.before);
        printStep("add", out.add);
        printStep("replace", out.replace);
        printStep("remove", out.remove);
        std::fflush(stdout);
    }
    endIfInterrupted(&check.area);
    removeScratchArea(&check.area);

    // The installer finds a block by the start of its size, so a block for
    // 480x8000 before the one for 480x800 is the one a 480x800 layout gets.
    std::vector<ScreenSize> takenFor;
    for (const Trial& t : trials) {
        LayoutBlock block = findLayoutBlock(check.plg, t.fileSize);
        ScreenSize opened;
        if (t.file != nullptr && block.found &&
            blockSizeOn(check.plg.lines[block.first - 1], &opened) && !(opened == t.fileSize)) {
            std::printf(
                "The .plg's block for %s is the one the installer takes for %s (it looks "
                "for the start of the size): put a block for %s before it.\n",
                sizeText(opened).c_str(), sizeText(t.fileSize).c_str(),
                sizeText(t.fileSize).c_str());
            takenFor.push_back(opened);
        }
    }
    std::vector<ScreenSize> noLayout;
    for (const ScreenSize& s : check.plg.blockSizes) {
        bool taken = std::find(takenFor.begin(), takenFor.end(), s) != takenFor.end();
        if (layoutFileOf(check.layouts, s) == nullptr && !taken)
            noLayout.push_back(s);
    }
    if (!noLayout.empty()) {
        std::printf("The .plg's %s for %s %s no layout file on the device.\n",
                    noLayout.size() == 1 ? "block" : "blocks", sizeList(noLayout).c_str(),
                    noLayout.size() == 1 ? "has" : "have");
    }
    if (checked == 0) {
        std::printf("Nothing checked: the device has no layout file \\Windows\\%s_WxH.cpr.\n",
                    shown(layoutName).c_str());
        return kExitFailed;
    }
    if (failed == 0) {
        std::printf("All %zu checks passed.\n", checked);
        return kExitOk;
    }
    std::printf("%zu of %zu checks failed.\n", failed, checked);
    return kExitFailed;
}

}  // namespace cedevice
