// The three layout editors, one per action.  Each reads the run's request,
// works on its target layout file, and reports only through the run's
// outcome: it shows nothing, and the run shows and records what it set.
#pragma once

#include "installer/run_context.h"

namespace qorv {

// addchange: installs the plugin of a plugin-definition file.
void addChangePlugin(const EditorRun& run);

// delete: removes a named plugin.
void deletePlugin(const EditorRun& run);

// change: switches the list view between its two variants.
void changeListView(const EditorRun& run);

}  // namespace qorv
