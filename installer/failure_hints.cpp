#include "installer/failure_hints.h"

#include <cstdio>
#include <cstring>

#include "installer/command_line.h"
#include "installer/layer_markers.h"
#include "installer/pass_lines.h"
#include "installer/plugin_definition.h"
#include "installer/rewrite_pass.h"
#include "platform/platform.h"
#include "platform/wstr.h"

namespace qorv {

namespace {

// The texts a hint is made of: a template names them in braces.
struct HintFields {
    const char16_t* plg;     // {plg}: the plugin definition of an add
    const char16_t* cpr;     // {cpr}: the target layout file
    const char16_t* temp;    // {temp}: the temporary layout copy
    const char16_t* plugin;  // {plugin}: the name a delete was given
    const char16_t* name;    // {name}: the name the plugin definition gives
    const char16_t* screen;  // {screen}: the size a layout block is looked for by, "480x800"
    const char16_t* detail;  // {detail}: what the hint worked out
};

// Appends as much of text as fits; a hint cut short is still a hint.
void appendCut(char16_t* out, size_t outChars, size_t* used, const char16_t* text, size_t n) {
    while (n-- > 0 && *used + 1 < outChars)
        out[(*used)++] = *text++;
    out[*used] = 0;
}

void expandTemplate(const char16_t* tmpl, const HintFields& fields, char16_t* out,
                    size_t outChars) {
    const struct {
        const char16_t* key;
        const char16_t* text;
    } keys[] = {{u"{plg}", fields.plg},      {u"{cpr}", fields.cpr},
                {u"{temp}", fields.temp},    {u"{plugin}", fields.plugin},
                {u"{name}", fields.name},    {u"{screen}", fields.screen},
                {u"{detail}", fields.detail}};
    size_t used = 0;
    out[0] = 0;
    while (*tmpl != 0) {
        bool replaced = false;
        for (const auto& key : keys) {
            size_t keyLength = ce::u16len(key.key);
            if (*tmpl == u'{' && ce::u16str(tmpl, key.key) == tmpl) {
                appendCut(out, outChars, &used, key.text, ce::u16len(key.text));
                tmpl += keyLength;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            appendCut(out, outChars, &used, tmpl++, 1);
    }
}

// 8-bit text of the device as UTF-16 for a hint; "?" when it has no form.
void acpForHint(const char* text, char16_t* out, size_t outChars) {
    if (!ce::acpToWide(text, out, outChars))
        ce::u16copy(out, outChars, u"?");
}

void appendNumber(char16_t* out, size_t outChars, uint64_t value) {
    char16_t digits[24];
    ce::u16fromUnsigned(digits, 24, value);
    ce::u16append(out, outChars, digits);
}

void appendAcp(char16_t* out, size_t outChars, const char* text) {
    char16_t wide[kPluginNameBytes];
    acpForHint(text, wide, kPluginNameBytes);
    ce::u16append(out, outChars, wide);
}

bool registryReadable() {
    ce::RegKey root = ce::regOpenKey(ce::Hive::LocalMachine, u"");
    bool opened = root != nullptr;
    ce::regCloseKey(root);
    return opened;
}

// The number after text in line ("480" after screenWidth="), or -1.
long numberAfter(std::string_view line, std::string_view text) {
    size_t at = line.find(text);
    if (at == std::string_view::npos)
        return -1;
    long value = 0;
    size_t i = at + text.size();
    size_t digits = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 6; ++i, ++digits)
        value = value * 10 + (line[i] - '0');
    return digits > 0 ? value : -1;
}

// The screen sizes a plugin definition has layout blocks for after its
// position line, where the add looks for them: "240x320,
// 480x800", or nothing.  A block whose line the installer's search passes
// over (height first, or more than one blank between) is marked, so that
// the hint does not seem to say that the block for this screen is there.
void blockSizes(const char16_t* plg, LayoutLine& line, char16_t* out, size_t outChars) {
    out[0] = 0;
    ce::File file = ce::fileOpen(plg, ce::FileMode::Read);
    // Only the blocks after the position line count, as for the add.
    PluginHead head = {};
    bool afterPosition = file != nullptr && readPluginName(file, line, head) == PlgHeadStatus::Ok &&
                         readPluginPosition(file, line, head) == PlgHeadStatus::Ok;
    size_t found = 0;
    while (afterPosition && readLayoutLine(file, line) == ReadStatus::Line) {
        if (!lineHolds(line.view(), "ayout "))
            continue;
        long w = numberAfter(line.view(), "screenWidth=\"");
        long h = numberAfter(line.view(), "screenHeight=\"");
        if (w < 0 || h < 0)
            continue;
        if (found++ > 0)
            ce::u16append(out, outChars, u", ");
        appendNumber(out, outChars, static_cast<uint64_t>(w));
        ce::u16append(out, outChars, u"x");
        appendNumber(out, outChars, static_cast<uint64_t>(h));
        // Found as the search finds a block: by its own marker.
        char marker[kResolutionMarkerBytes];
        buildResolutionMarker(static_cast<int>(w), static_cast<int>(h), marker, sizeof marker);
        if (!lineHolds(line.view(), marker)) {
            ce::u16append(out, outChars, u" (not found: write ");
            appendAcp(out, outChars, marker + std::strlen("ayout "));
            ce::u16append(out, outChars, u"\", width first, one blank between)");
        }
    }
    ce::fileClose(file);
}

// Whether a layout file has a list-view tag on some line.
bool hasListView(const char16_t* cpr, LayoutLine& line) {
    ce::File file = ce::fileOpen(cpr, ce::FileMode::Read);
    bool found = false;
    TextSection section = TextSection::Markup;
    size_t at = 0;
    while (!found && file != nullptr && readLayoutLine(file, line) == ReadStatus::Line)
        found = findListViewTag(line.view(), &at, &section) != ListView::None;
    ce::fileClose(file);
    return found;
}

// Which part of the plugin's layers a layout file lacks, the way the pass
// looks for them: after the list view opens, the expanded marker's line,
// then the condensed marker's, then two "</Layer>", a search for either of
// which stops where no block can go on (stopsLayerEnd).
const char16_t* missingLayerPart(const char16_t* cpr, const char* name, LayoutLine& line) {
    char expanded[kMarkerBytes];
    char condensed[kMarkerBytes];
    constexpr const char16_t* kCutShort = u"its layers are cut short";
    if (!buildExpandedMarker(name, expanded, sizeof expanded) ||
        !buildCondensedMarker(name, condensed, sizeof condensed)) {
        return kCutShort;
    }
    constexpr const char16_t* kNoCondensed =
        u"no line after its expanded layer holds its condensed layer's <Layer ID=";
    constexpr const char16_t* kNoFirstEnd = u"no </Layer> follows its condensed layer";
    constexpr const char16_t* kNoSecondEnd =
        u"only one </Layer> follows its condensed layer, and a plugin's layers end with the second";
    constexpr const char16_t* kMeetsOther =
        u"another plugin's layers (a <Layer ID=\"...Expanded\") or the form's end follow its "
        u"condensed layer before the second </Layer> after it, where a plugin's layers end";
    // Before the search: the list view, then the expanded marker.
    ce::File file = ce::fileOpen(cpr, ce::FileMode::Read);
    bool inListView = false;
    TextSection section = TextSection::Markup;
    bool searching = false;
    size_t at = 0;
    LayersSearch search;
    LayersLine met = LayersLine::Inside;
    while (file != nullptr && met == LayersLine::Inside &&
           readLayoutLine(file, line) == ReadStatus::Line) {
        std::string_view text = line.view();
        if (searching) {
            met = nextLayersLine(&search, text);
        } else if (inListView && lineHolds(text, expanded)) {
            startLayersSearch(&search, text.substr(text.find(expanded)), condensed,
                              pieceGoesOn(text));
            searching = true;
        } else if (!inListView) {
            inListView = findListViewTag(text, &at, &section) != ListView::None;
        }
    }
    ce::fileClose(file);
    if (met == LayersLine::Stopped)
        return kMeetsOther;
    const char16_t* missing[] = {kNoCondensed, kNoFirstEnd, kNoSecondEnd, kNoSecondEnd};
    return searching ? missing[search.found] : kCutShort;
}

// What a refused plugin name holds: "a blank", "a control character
// (0x09)" or the character in quotation marks.
void refusedCharacter(const char* name, char16_t* out, size_t outChars) {
    size_t at = firstNameCharNotAllowed(name);
    out[0] = 0;
    // The name is kept up to its first NUL byte: a name refused with no
    // other character in it is refused for that one.
    unsigned char c = at == std::string_view::npos ? 0 : static_cast<unsigned char>(name[at]);
    if (c != 0 && std::string_view(name + at).starts_with(kNameRefusedText)) {
        appendAcp(out, outChars, "the text -addchange");
    } else if (c == ' ') {
        ce::u16copy(out, outChars, u"a blank");
    } else if (c < 0x20 || c == 0x7F) {
        char text[40];
        std::snprintf(text, sizeof text, "a control character (0x%02X)", c);
        appendAcp(out, outChars, text);
    } else {
        char16_t quoted[] = {u'"', static_cast<char16_t>(c), u'"', 0};
        ce::u16copy(out, outChars, quoted);
    }
}

// The layout mode a -cpr: text means when written in another case, or null.
const char16_t* modeInOtherCase(const char16_t* line) {
    static constexpr const char16_t* kModes[] = {u"forcecurrentPortrait", u"forcecurrentLandscape",
                                                 u"currentPortrait", u"currentLandscape", u"all"};
    const char16_t* at = ce::u16str(line, kSwitchCpr);
    if (at == nullptr)
        return nullptr;
    at += ce::u16len(kSwitchCpr);
    for (const char16_t* mode : kModes) {
        size_t n = ce::u16len(mode);
        size_t i = 0;
        while (i < n && at[i] != 0 && ce::u16lowerChar(at[i]) == ce::u16lowerChar(mode[i]))
            ++i;
        if (i == n && (at[n] == 0 || at[n] == u' '))
            return mode;
    }
    return nullptr;
}

constexpr char16_t kUtf16PlgHint[] =
    u"{plg} is UTF-16 text, which the installer does not read (it looks for its tags in 8-bit "
    u"lines): save it as UTF-8";

// The plugin definition's name, read again for a hint that names it.
void plgName(RunContext& ctx, char16_t* out, size_t outChars, PluginHead& head) {
    head.name[0] = 0;
    ce::File plg = ce::fileOpen(ctx.request.plgPath, ce::FileMode::Read);
    if (plg != nullptr)
        readPluginName(plg, ctx.buffers.pass.blockLine, head);
    ce::fileClose(plg);
    acpForHint(head.name, out, outChars);
}

// False when a line of the layout is not 8-bit text, as the rewrite pass
// reads it (notEightBitLine).
bool isEightBitText(const char16_t* cpr, LayoutLine& line) {
    ce::File file = ce::fileOpen(cpr, ce::FileMode::Read);
    bool first = true;
    bool eightBit = true;
    while (eightBit && file != nullptr && readLayoutLine(file, line) == ReadStatus::Line) {
        eightBit = !notEightBitLine(line.view(), first);
        first = false;
    }
    ce::fileClose(file);
    return eightBit;
}

// True when the file is UTF-16 text (looksLikeUtf16 on its first bytes).
bool isUtf16Text(const char16_t* path) {
    char text[64];
    ce::File f = ce::fileOpen(path, ce::FileMode::Read);
    size_t n = f != nullptr ? ce::fileReadLine(f, text, sizeof text) : 0;
    ce::fileClose(f);
    return looksLikeUtf16(std::string_view(text, n));
}

// The screen the layout block is looked for by, "480x800".
void screenText(const RunRequest& request, char16_t* out, size_t outChars) {
    int w = request.landscape ? request.screenHeight : request.screenWidth;
    int h = request.landscape ? request.screenWidth : request.screenHeight;
    out[0] = 0;
    appendNumber(out, outChars, static_cast<uint64_t>(w < 0 ? 0 : w));
    ce::u16append(out, outChars, u"x");
    appendNumber(out, outChars, static_cast<uint64_t>(h < 0 ? 0 : h));
}

const char16_t* valueMissing(const char16_t* value, char16_t* detail) {
    ce::u16copy(detail, kTextChars, value);
    return u"the home screen's key HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome has no {detail} "
           u"value that can be read (missing, not text, or longer than 8091 characters)";
}

// The hint of a failure: its template, with the detail worked out.
const char16_t* failureTemplate(RunContext& ctx, const char16_t* line, char16_t* detail,
                                char16_t* name) {
    RunRequest& request = ctx.request;
    LayoutLine& scratch = ctx.buffers.pass.line;
    PluginHead head;
    switch (ctx.outcome.result) {
        case Result::Success:
        case Result::Count:
            return nullptr;
        case Result::NoAction:
            if (line[0] == 0) {
                return u"no action given; usage: qorvinstall -addchange '-plg:\\path\\plugin.plg' "
                       u"-cpr:LAYOUT | -delete -cpr:LAYOUT -plugin:NAME | -change -cpr:LAYOUT "
                       u"-view:TitaniumListView|-view:BronzeListView [-silent] (qorvinstall --help "
                       u"says more)";
            }
            return u"the command line names no action: it needs -addchange, -delete or -change, "
                   u"written in lower case (qorvinstall --help lists the switches)";
        case Result::NoPlgSwitch:
            return u"-addchange needs the plugin definition: '-plg:\\path\\plugin.plg' after a "
                   u"blank";
        case Result::PlgNoBackslash:
            return u"the path after -plg: must be a device path that begins with a backslash, "
                   u"such as '-plg:\\Program Files\\Lorvendi\\lorvendi.plg'; quote it in a shell, "
                   u"which otherwise eats the backslashes";
        case Result::PlgNoEnd:
            return u"the path after -plg: must end in .plg written in lower case (the device "
                   u"ignores case, so the file is found all the same)";
        case Result::CommandLineTooLong:
            detail[0] = 0;
            appendNumber(detail, kTextChars, ce::u16len(line));
            return u"the command line has {detail} characters, counted as UTF-16 units (one "
                   u"beyond U+FFFF counts two); the installer takes at most 8091";
        case Result::NoCprSwitch:
            return u"the run needs the layout file after a blank: -cpr:currentPortrait, "
                   u"-cpr:currentLandscape, -cpr:forcecurrentPortrait, -cpr:forcecurrentLandscape, "
                   u"-cpr:all, or a device path such as '-cpr:\\Windows\\x_480x800.cpr'";
        case Result::CprNoBackslash:
            if (const char16_t* mode = modeInOtherCase(line)) {
                ce::u16copy(detail, kTextChars, mode);
                return u"the layout modes are case-sensitive: write -cpr:{detail}";
            }
            return u"the text after -cpr: is neither a layout mode (currentPortrait, "
                   u"currentLandscape, forcecurrentPortrait, forcecurrentLandscape, all; "
                   u"case-sensitive) nor a device path that begins with a backslash; quote a path "
                   u"in a shell, which otherwise eats the backslashes";
        case Result::CprNoEnd:
            return u"the path after -cpr: must end in .cpr written in lower case (the device "
                   u"ignores case, so the file is found all the same)";
        case Result::NoCurrentCpr:
            return u"the home screen's current layout, CPRFile in "
                   u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome, cannot be read (missing, or "
                   u"its name, or the CPRFileName in ExtensibilityXML that stands for it, longer "
                   u"than 497 characters); set it, or name the layout file with "
                   u"'-cpr:\\path\\x.cpr'";
        case Result::NoExtensibilityXml:
            // Selection reads the value whatever its type.
            return u"the home screen's key HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome has no "
                   u"ExtensibilityXML value that can be read (missing, or longer than 8091 "
                   u"characters)";
        case Result::NoPluginToDelete:
            return u"-delete needs the plugin's name: -plugin:NAME after a blank";
        case Result::NoRunRecord:
            return u"the run record HKEY_CURRENT_USER\\SOFTWARE\\QORV cannot be opened or "
                   u"created, so this run records nothing";
        case Result::NoHomeKey:
            // A registry that cannot be read at all (the platform named the
            // file and why) lacks no key: its root cannot be opened either.
            if (!registryReadable()) {
                return u"so the key HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome cannot be "
                       u"opened: the device's registry cannot be read";
            }
            return u"the device's registry has no key "
                   u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome, "
                   u"which the Titanium home screen keeps its layout and plugins in; is this the "
                   u"right device? (cedevice create --sample DIR makes one that has it)";

        // The platform names the file and the system's reason.
        case Result::PlgNotOpened:
        case Result::AddLayoutNotOpened:
        case Result::AddTempNotCreated:
        case Result::DeleteLayoutNotOpened:
        case Result::DeleteTempNotCreated:
        case Result::ChangeLayoutNotOpened:
        case Result::ChangeTempNotCreated:
        case Result::LayoutNotCopiedBack:
        case Result::SwitchNotCopiedBack:
            return nullptr;

        case Result::AddTempNotWritten:
        case Result::DeleteTempNotWritten:
        case Result::ChangeTempNotWritten:
            return u"the temporary layout copy {temp} could not be written whole (is the disk "
                   u"full?); {cpr} is unchanged";
        case Result::AddLayoutNotRead:
        case Result::DeleteLayoutNotRead:
        case Result::ChangeLayoutNotRead:
            if (!isEightBitText(request.targetCpr, scratch))
                return u"{cpr} is UTF-16 text (or holds a zero byte), which the installer does not "
                       u"rewrite: a layout is 8-bit text (save it as UTF-8); it is unchanged";
            return u"{cpr} could not be read to its end; it is unchanged";
        case Result::NameTagMissing:
            if (isUtf16Text(request.plgPath))
                return kUtf16PlgHint;
            return u"in {plg} the first line that holds </name> has no <name> before it: write "
                   u"<name>NAME</name> on one line";
        case Result::NameMissing:
            if (isUtf16Text(request.plgPath))
                return kUtf16PlgHint;
            return u"{plg} names no plugin: it needs a line <name>NAME</name>, with a name";
        case Result::PositionTagMissing:
            return u"in {plg} the first line after the name's that holds </position> has no "
                   u"<position> before it: write <position>N</position> on one line";
        case Result::PositionMissing:
            return u"{plg} gives no position: it needs a line <position>N</position> below the "
                   u"line of the name";
        case Result::NoResolution:
            blockSizes(request.plgPath, scratch, detail, kTextChars);
            if (detail[0] == 0)
                return u"{plg} has no layout block (<layout screenWidth=\"W\" screenHeight=\"H\">) "
                       u"after its position line; this screen needs one for {screen}";
            return u"{plg} has no layout block for this screen, {screen}; it has blocks for "
                   u"{detail}";
        case Result::NoLayoutEnd:
            return u"in {plg} the layout block for {screen} has no </layout> line after it";
        case Result::BlockNotText:
            return u"in {plg} the layout block for {screen} holds a zero byte (UTF-16 text?): a "
                   u"layout is 8-bit text, and one that held it could no longer be read (save "
                   u"the definition as UTF-8); nothing was changed";
        case Result::BlockHoldsFormEnd:
            return u"in {plg} a line of the layout block for {screen} holds </Form> (a comment "
                   u"too), which every later run would take for the end of the layout's form: "
                   u"take it out; nothing was changed";
        case Result::NothingInjected:
            if (!hasListView(request.targetCpr, scratch)) {
                return u"{cpr} has no list view (<TitaniumListView or <BronzeListView), so there "
                       u"is no place for the plugin; nothing was changed";
            }
            return u"{cpr} has no line with </Form> after its list view (and no layers of the "
                   u"plugin), so there is no place for the plugin; nothing was changed";
        case Result::NameTooLong:
            return u"the plugin's name in {plg} is too long: at most 979 bytes fit";
        case Result::PositionTooLong:
            return u"the position in {plg} is longer than 9 characters";
        case Result::NameNotConvertible:
            return u"the plugin's name in {plg} is not text of the device's code page (UTF-8 on "
                   u"a PC)";
        case Result::NameHoldsListQuote:
            plgName(ctx, name, kPluginNameBytes, head);
            return u"the plugin's name \"{name}\" in {plg} holds ', which the home screen's "
                   u"order list cannot take: the list holds a \" inside its ' quotes";
        case Result::NameNotAllowed:
            plgName(ctx, name, kPluginNameBytes, head);
            refusedCharacter(head.name, detail, kTextChars);
            return u"the plugin's name \"{name}\" in {plg} holds {detail}; a name may hold no "
                   u"blank, control character, ;, \", <, > or &, nor -addchange, which the home "
                   u"screen's lists, the layout or -delete -plugin: cannot take";
        case Result::AddLayersUnfinished:
            plgName(ctx, name, kPluginNameBytes, head);
            ce::u16copy(detail, kTextChars,
                        missingLayerPart(request.targetCpr, head.name, scratch));
            return u"the layers of {name} in {cpr} are cut short: {detail}; mend or remove them";
        case Result::DeleteLayersUnfinished: {
            char* acp = ctx.buffers.deleteNameAcp;
            ce::u16copy(detail, kTextChars,
                        ce::wideToAcp(request.pluginName, acp, sizeof ctx.buffers.deleteNameAcp)
                            ? missingLayerPart(request.targetCpr, acp, scratch)
                            : u"its layers are cut short");
            return u"the layers of {plugin} in {cpr} are cut short: {detail}; mend or remove them";
        }
        case Result::AddNoExtXml:
        case Result::DeleteNoExtXml:
            return valueMissing(u"ExtensibilityXML", detail);
        case Result::AddNoDefaultXml:
        case Result::DeleteNoDefaultXml:
            return valueMissing(u"DefaultXML", detail);
        case Result::AddNoPlugins:
        case Result::DeleteNoPlugins:
            return valueMissing(u"Plugins", detail);
        case Result::AddNoOpeningQuote:
        case Result::DeleteNoOpeningQuote:
            return u"ExtensibilityXML in HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome holds no "
                   u"order list: it needs <Plugins Order=\"NAME;NAME\"";
        case Result::AddNoClosingQuote:
        case Result::DeleteNoClosingQuote:
            return u"the order list in ExtensibilityXML in "
                   u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome has no closing quotation mark";
        case Result::AddOrderTooLong:
            return u"ExtensibilityXML would be longer than 8091 characters with the plugin";
        case Result::AddPluginsTooLong:
            return u"Plugins would be longer than 8091 characters with the plugin";
        case Result::DeleteOrderTooLong:
            return u"ExtensibilityXML would be longer than 8091 characters without the plugin";
        case Result::DeleteNameTooLong:
            return u"the name after -plugin: is too long: at most 979 bytes of 8-bit text fit";
        case Result::DeleteNameNotConvertible:
            return u"the name after -plugin: has no form in the device's code page (UTF-8 on a "
                   u"PC)";
    }
    return nullptr;
}

// The hint of a sound run that changed nothing.
const char16_t* noChangeTemplate(const RunContext& ctx, char16_t* detail) {
    switch (ctx.outcome.noChange) {
        case NoChange::None:
            return nullptr;
        case NoChange::NothingToDelete:
            if (ctx.request.pluginName[0] == 0) {
                return u"nothing to delete: the name after -plugin: is empty (a blank right "
                       u"after the colon ends it): write -plugin:NAME";
            }
            return u"nothing to delete: no plugin {plugin} in {cpr} nor in the home screen's "
                   u"lists (names are case-sensitive, and -plugin: ends at the first blank)";
        case NoChange::NoViewAsked:
            return u"nothing switched: -change needs -view:TitaniumListView or "
                   u"-view:BronzeListView";
        case NoChange::NoListView:
            return u"nothing switched: {cpr} has no list view (<TitaniumListView or "
                   u"<BronzeListView)";
        case NoChange::ViewAlready:
            ce::u16copy(detail, kTextChars, ctx.request.titaniumView ? u"Titanium" : u"Bronze");
            return u"nothing switched: the list view of {cpr} is {detail} already";
        case NoChange::Forbidden:
            return u"nothing changed: the current layout is on the ForbiddenList in "
                   u"HKEY_CURRENT_USER\\SOFTWARE\\QORV, so {cpr} and the home screen's lists "
                   u"stay as they were";
    }
    return nullptr;
}

}  // namespace

const char16_t* outcomeHint(RunContext& ctx, const char16_t* line) {
    char16_t* hint = ctx.buffers.hint;
    char16_t* detail = ctx.buffers.hintDetail;
    char16_t name[kPluginNameBytes];
    hint[0] = 0;
    detail[0] = 0;
    name[0] = 0;
    const char16_t* tmpl = isSound(ctx.outcome) ? noChangeTemplate(ctx, detail)
                                                : failureTemplate(ctx, line, detail, name);
    if (tmpl == nullptr)
        return hint;
    char16_t screen[48];
    screenText(ctx.request, screen, 48);
    HintFields fields = {ctx.request.plgPath,
                         ctx.request.targetCpr,
                         tempLayoutCopyPath(ctx.request.landscape),
                         ctx.request.pluginName,
                         name,
                         screen,
                         detail};
    expandTemplate(tmpl, fields, hint, kHintChars);
    return hint;
}

void explainOutcome(RunContext& ctx, const char16_t* line) {
    const char16_t* hint = outcomeHint(ctx, line);
    if (hint[0] != 0)
        ce::diagnostic(hint);
}

}  // namespace qorv
