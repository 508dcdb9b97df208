#include "scanner/walk_shortcuts.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/wstr.h"

namespace zandoval {

namespace {

// One directory being listed: its open enumeration and the length of its
// path in the shared path text.
struct Level {
    ce::Find find;
    size_t pathLength;
};

// The list file and its temporary file, by path, and their names
// lower-cased, for the walk to pass them over.
struct ListNames {
    std::u16string path;
    std::u16string tempPath;
    std::u16string name;
    std::u16string tempName;
};

std::u16string lowerFileName(const std::u16string& path) {
    std::u16string name = path.substr(fileNameStart(path));
    for (char16_t& c : name)
        c = ce::u16lowerChar(c);
    return name;
}

ListNames listNamesOf(const char16_t* listPath) {
    ListNames names;
    if (listPath == nullptr || listPath[0] == 0)
        return names;
    names.path = listPath;
    names.tempPath = listTempPath(names.path);
    names.name = lowerFileName(names.path);
    names.tempName = lowerFileName(names.tempPath);
    return names;
}

// The list file and its temporary file, which lie in the tree when the
// list is written into it, are no shortcuts.  Names are compared first, as
// the device compares them; the platform tells whether the entry is one of
// the files themselves (a link to a folder or a name differing in case
// leads elsewhere on a PC).
bool isListFile(const ListNames& list, const std::u16string& dir, const char16_t* name,
                const char16_t* lowerName) {
    if (list.name.empty() || (list.name != lowerName && list.tempName != lowerName))
        return false;
    std::u16string entry = dir + u"\\" + name;
    return ce::fileSame(entry.c_str(), list.path.c_str()) ||
           ce::fileSame(entry.c_str(), list.tempPath.c_str());
}

bool isDotEntry(const char16_t* name) {
    return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

// Starts listing the directory whose path is the whole of `path`; on
// success its first entry is in `record` and a level has been pushed.
bool openLevel(std::u16string& path, std::vector<Level>& levels, ce::FindRecord& record) {
    size_t length = path.size();
    path += u"\\*.*";
    ce::Find find = ce::findFirst(path.c_str(), &record);
    path.resize(length);
    if (find == nullptr)
        return false;
    levels.push_back(Level{find, length});
    return true;
}

void handleFile(const ce::FindRecord& record, const std::u16string& path, WalkContext& ctx,
                const ListNames& list, char16_t* lowerName) {
    ce::u16copy(lowerName, ce::kMaxFindName, record.name);
    ce::u16lower(lowerName);
    const char16_t* lnk = ce::u16str(lowerName, u".lnk");
    if (lnk == nullptr || !nameFilterPasses(*ctx.filter, lowerName) ||
        isListFile(list, path, record.name, lowerName)) {
        return;
    }
    ++ctx.shortcutCount;
    if (ctx.list == nullptr)
        return;
    size_t displayLength = static_cast<size_t>(lnk - lowerName);
    listFileWriteEntry(*ctx.list, ctx.shortcutCount, record.name, displayLength,
                       path.data() + ctx.rootLength, path.size() - ctx.rootLength);
}

}  // namespace

void walkShortcuts(const char16_t* dirPath, WalkContext& ctx) {
    std::u16string path(dirPath);
    if (ctx.rootLength > path.size())
        ctx.rootLength = path.size();
    std::vector<Level> levels;
    ce::FindRecord record;
    char16_t lowerName[ce::kMaxFindName];
    const ListNames list = listNamesOf(ctx.listPath);

    // `pending` is true while `record` holds an entry of the innermost level
    // that has not been handled yet.
    bool pending = openLevel(path, levels, record);
    ctx.rootListed = pending;
    while (!levels.empty()) {
        if (!pending && !ce::findNext(levels.back().find, &record)) {
            ce::findClose(levels.back().find);
            levels.pop_back();
            if (!levels.empty())
                path.resize(levels.back().pathLength);
            continue;
        }
        pending = false;
        record.name[ce::kMaxFindName - 1] = 0;
        if (isDotEntry(record.name))
            continue;
        if ((record.attributes & ce::kAttrDirectory) != 0) {
            if ((record.attributes & ce::kAttrReparsePoint) != 0)
                continue;
            path += u'\\';
            path += record.name;
            pending = openLevel(path, levels, record);
            if (!pending)
                path.resize(levels.back().pathLength);
            continue;
        }
        handleFile(record, path, ctx, list, lowerName);
    }
}

}  // namespace zandoval
