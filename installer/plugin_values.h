// The home screen's plugin values, kept in step with the layout file by an
// add and a removal: "ExtensibilityXML" (its order list), "DefaultXML" and
// "Plugins" in the CHome key.
//
// An editor runs four stages at fixed places of its run: the snapshot copies
// the three values into the run record (callOrgExtXML, callOrgDefaultXML,
// callOrgPlugins); the edit puts the name into the lists or takes it out;
// staging writes the results into the run record (newExtensibilityXML,
// newDefaultXML, newPlugins); the commit writes them back to CHome.  The
// snapshot's texts are kept in the run's buffers (HomeValueTexts).
#pragma once

#include <cstdint>
#include <string>

#include "installer/result_codes.h"
#include "installer/run_limits.h"

namespace qorv {

struct EditorRun;

// An editor's results for values that cannot be read at the snapshot.
struct SnapshotResults {
    Result noExtXml;
    Result noDefaultXml;
    Result noPlugins;
};

// The edited values.
struct PluginValues {
    std::u16string newOrder;    // the new "ExtensibilityXML" and "DefaultXML"
    std::u16string newPlugins;  // the new "Plugins"
    bool nameNew = false;       // an add: no entry of the order list was the name
    // An add of a name the order list holds already: "DefaultXML" or
    // "Plugins" lacks it (a run cut short between the values' writes).
    bool defaultLacks = false;
    bool pluginsLack = false;
    bool removal = false;  // a removal writes all three values back
};

// Reads the three values (each at most kTextBytes) and copies each one that
// can be read into the run record.  A value that cannot be read sets the
// editor's result; all three are read in any case, so the last failure
// stands.
void snapshotPluginValues(const EditorRun& run, const SnapshotResults& results);

// An add: inserts name at position into the order list and appends it to
// the plugin list when it is new, then stages.  When the order list holds
// the name already, the other two values are checked for it: "DefaultXML"
// that lacks it is to become the order text, "Plugins" that lacks it gets
// it appended, so that a rerun completes what an interrupted run left
// behind.  Results 80, 81; 82 and 83 when a new text would not fit the home
// screen's value buffers.
void insertPluginName(const EditorRun& run, PluginValues& values, const char16_t* name,
                      int32_t position);

// A removal: drops every entry that equals name from both lists, then
// stages.  Results 180, 181; 182 when the new order text would not fit.
void removePluginName(const EditorRun& run, PluginValues& values, const char16_t* name);

// True when an add has something to commit: the name is new, or a value
// lacks it.
bool pluginValuesToComplete(const PluginValues& values);

// Writes "ExtensibilityXML" and "DefaultXML" (both the new order text) and
// "Plugins" into the CHome key; after an add of a name the order list holds
// already, only the values that lack it.  The writes go through the one
// handle of the key, so they reach the registry together.  They are not
// checked.
void commitPluginValues(const EditorRun& run, const PluginValues& values);

// The longest text the home screen reads back from one of these values.
constexpr size_t kMaxValueChars = kTextChars - 1;

}  // namespace qorv
