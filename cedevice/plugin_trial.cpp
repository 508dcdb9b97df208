#include "cedevice/plugin_trial.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

#include "cedevice/check_hints.h"
#include "cedevice/check_values.h"
#include "cedevice/installer_run.h"
#include "cedevice/registry_access.h"
#include "installer/layer_markers.h"

namespace cedevice {

namespace {

// The state of a temporary device after a run: its layout file and the
// three values.
struct DeviceState {
    std::string layout;
    HomeValues values;
    std::shared_ptr<const ce::posix::RegFile> registry;
};

std::string readHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DeviceState stateNow(const CheckRun& check, const Trial& trial) {
    DeviceState state;
    state.layout = readHost(scratchLayoutPath(check.area, check.layouts, *trial.file));
    state.registry = readRegistry();
    if (state.registry != nullptr)
        state.values = readHomeValues(*state.registry);
    return state;
}

size_t occurrences(const std::string& text, const std::string& part) {
    if (part.empty())
        return 0;
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

void replaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

// The lines joined by "; ", each without `prefix` when it begins with it.
std::string joined(const std::vector<std::string>& lines, std::string_view prefix = "") {
    std::string text;
    for (const std::string& line : lines) {
        text += text.empty() ? "" : "; ";
        text += line.starts_with(prefix) ? line.substr(prefix.size()) : line;
    }
    return text;
}

// Runs the installer once; false with the step failed when it could not run
// or recorded no result that fits its exit status.
bool runStep(const CheckRun& check, const std::vector<std::string>& words, Step* step,
             RecordedResult* result) {
    step->state = StepState::Failed;
    if (interrupted()) {
        step->problem = "interrupted";
        return false;
    }
    std::string error;
    InstallerRun run =
        runInstaller(check.installer, words, check.area.root + "/qorvinstall.err", &error);
    // What the installer says names the temporary device; the user knows
    // only the device and the definition that it copies.
    for (std::string& line : run.errorLines) {
        replaceAll(&line, check.area.device, check.userDevice);
        replaceAll(&line, kCheckedPlgPath, check.plgFile);
    }
    if (!run.started) {
        step->problem = error;
        return false;
    }
    bool fits = run.result.recorded && (run.exitStatus == 0) == (run.result.number == 0) &&
                (run.exitStatus == 0 || run.exitStatus == 1);
    if (!fits) {
        step->problem = run.exitStatus < 0
                            ? "qorvinstall ended by a signal"
                            : "qorvinstall ended with status " + std::to_string(run.exitStatus) +
                                  " and no result of its own";
        if (!run.errorLines.empty())
            step->problem += ": " + joined(run.errorLines);
        return false;
    }
    *result = run.result;
    step->problem = run.result.text;
    step->said = joined(run.errorLines, "qorvinstall: ");
    return true;
}

// A hint for a step the installer failed: the one told from the
// definition, else what the installer said of the layout it ran on (it
// replays its search there, so it knows what the block ran into).
std::string hintOr(const std::string& hint, const Step& step) {
    return hint.empty() ? step.said : hint;
}

void failWith(Step* step, const std::string& problem, const std::string& hint) {
    step->state = StepState::Failed;
    step->problem += problem;
    step->hint = hint;
}

}  // namespace

TrialOutcome runTrial(const CheckRun& check, const Trial& trial) {
    TrialOutcome out;
    const PluginText& plg = check.plg;
    std::string error;
    if (!makeScratchDevice(check.area, check.userDevice, check.layouts, check.plgBytes,
                           trial.screen, &error)) {
        failWith(&out.before, error, "");
        return out;
    }
    const std::string mode = trial.orientation == Orientation::Portrait ? "-cpr:currentPortrait"
                                                                        : "-cpr:currentLandscape";
    const std::vector<std::string> addWords = {"-addchange", std::string("-plg:") + kCheckedPlgPath,
                                               mode, "-silent"};
    const std::vector<std::string> deleteWords = {"-delete", mode, "-plugin:" + plg.name,
                                                  "-silent"};
    RecordedResult result;

    // A name that the installer refuses (its characters or its length)
    // goes straight to the add, which says so: the delete that cleans the
    // layout first could not name it.
    DeviceState before;
    if (plg.hasName && nameHint(plg).empty() && plg.name.size() <= qorv::kMaxPluginNameBytes) {
        if (!runStep(check, deleteWords, &out.before, &result))
            return out;
        if (result.number != 0) {
            // Only broken layers of the plugin keep the delete from
            // cleaning the layout; any other failure (a home-screen value
            // missing, say) is the device's, and an add would meet it too.
            const bool layers = result.text.find("Found Plugin in cpr") != std::string::npos;
            failWith(&out.before, "",
                     result.number == 200 ? addFailureHint(plg, trial.fileSize, result)
                     : layers ? "the installer cannot clean this layout of " + plg.name +
                                    ": check on a device without it"
                              : "the device is not ready for an install: an add there fails "
                                "the same way; mend what the result names");
            return out;
        }
        out.before.state = StepState::Passed;
        before = stateNow(check, trial);
    }

    if (!runStep(check, addWords, &out.add, &result))
        return out;
    if (result.number != 0) {
        out.add.hint = hintOr(addFailureHint(plg, trial.fileSize, result), out.add);
        return out;
    }
    const DeviceState added = stateNow(check, trial);
    const LayoutBlock block = findLayoutBlock(plg, trial.fileSize);
    const std::string blockText = blockAsInjected(plg, block);
    const std::string notListing =
        added.registry == nullptr ? "the values" : valuesNotListing(*added.registry, plg.name);
    const bool forbidden =
        added.registry != nullptr && forbiddenLayout(*added.registry, check.layouts.name);
    const std::string forbiddenHint = "the run record's ForbiddenList names the layout " +
                                      check.layouts.name +
                                      ", which the installer then leaves alone";
    if (!plg.hasName || !block.found || added.layout.find(blockText) == std::string::npos) {
        failWith(&out.add,
                 ", but the layout does not hold the block for " + sizeText(trial.fileSize),
                 forbidden ? forbiddenHint : "");
        return out;
    }
    // An empty block installs nothing, and every later check would pass on
    // nothing.
    if (blockText.find_first_not_of(" \t\r\n") == std::string::npos) {
        failWith(&out.add,
                 ", but the .plg's block for " + sizeText(trial.fileSize) +
                     (blockText.empty() ? " holds no lines" : " holds blank lines only") +
                     ", so nothing was put into the layout",
                 layersHint(plg, trial.fileSize));
        return out;
    }
    const std::string unclosed = unclosedMarkup(blockText);
    if (!unclosed.empty()) {
        failWith(&out.add,
                 ", but in the block for " + sizeText(trial.fileSize) + " " + unclosed +
                     ", so the layout is no longer well-formed",
                 "close every <Layer ...> with </Layer> and every <!-- with -->");
        return out;
    }
    if (!notListing.empty()) {
        failWith(&out.add, ", but " + notListing + " do not list " + plg.name,
                 forbidden ? forbiddenHint : nameHint(plg));
        return out;
    }
    out.add.state = StepState::Passed;

    if (runStep(check, addWords, &out.replace, &result)) {
        const DeviceState replaced = stateNow(check, trial);
        if (result.number != 0) {
            out.replace.hint = hintOr(layersHint(plg, trial.fileSize), out.replace);
        } else if (replaced.layout != added.layout) {
            size_t copies = occurrences(replaced.layout, blockText);
            failWith(&out.replace,
                     copies > 1 ? ", but the layout holds the block " +
                                      (copies == 2 ? std::string("twice")
                                                   : std::to_string(copies) + " times")
                                : ", but the layout is not the one the first run left",
                     layersHint(plg, trial.fileSize));
        } else {
            out.replace.state = StepState::Passed;
        }
    }

    if (runStep(check, deleteWords, &out.remove, &result)) {
        const DeviceState removed = stateNow(check, trial);
        if (result.number != 0) {
            out.remove.hint = hintOr(layersHint(plg, trial.fileSize), out.remove);
        } else if (removed.layout != before.layout) {
            failWith(&out.remove, ", but the layout is not the one before the add",
                     layersHint(plg, trial.fileSize));
        } else if (!(removed.values == before.values) &&
                   // An add of a name with ' turns a list in ' quotes to ".
                   !(removed.values == orderInDoubleQuotes(before.values))) {
            failWith(&out.remove,
                     ", but ExtensibilityXML, DefaultXML and Plugins are not the ones before the "
                     "add",
                     nameHint(plg));
        } else {
            out.remove.state = StepState::Passed;
        }
    }
    return out;
}

}  // namespace cedevice
