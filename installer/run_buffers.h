// The large working buffers of one installer run, each named for the step
// that uses it.  They are members of the run's one context; why they live
// there and nowhere else is said in run_context.h.
//
// No two steps that are active at the same time share a buffer.
#pragma once

#include "installer/rewrite_pass.h"
#include "installer/run_limits.h"
#include "installer/star_image.h"

namespace qorv {

// The home screen's three plugin values as the snapshot read them.
struct HomeValueTexts {
    char16_t extXml[kTextChars];      // "ExtensibilityXML"
    char16_t defaultXml[kTextChars];  // "DefaultXML"
    char16_t plugins[kTextChars];     // "Plugins"
};

constexpr size_t kHintChars = 3 * kTextChars;

struct RunBuffers {
    // Opening the run record: one earlier call value on its way to its
    // "lastCall..." name.
    char16_t previousCall[kTextChars];

    // Layout selection: the home screen's "ExtensibilityXML" and the run
    // record's "ForbiddenList".
    char16_t extensibilityXml[kTextChars];
    char16_t forbiddenList[kTextChars];

    // The star-image update: "is2StarPath".
    char16_t starPath[kStarPathBytes / 2];

    // addchange and delete: the snapshot of the home screen's values, and
    // the plugin name of a removal as 8-bit text (room for any name the
    // command line can carry, so that a long name is told apart from one
    // that cannot be converted).
    HomeValueTexts homeValues;
    char deleteNameAcp[kTextChars * 3];

    // The rewrite pass of every editor.
    PassBuffers pass;

    // The line that says what to fix (failure_hints.h): room for two paths
    // and what the hint worked out.
    char16_t hint[kHintChars];
    char16_t hintDetail[kTextChars];
};

}  // namespace qorv
