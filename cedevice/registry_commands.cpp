// get, set, delete, import and export: the registry of the device from a
// shell.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <unordered_set>

#include "cedevice/key_path.h"
#include "cedevice/registry_access.h"
#include "cedevice/tool.h"
#include "cedevice/value_text.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/posix/registry/registry_store.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/wstr.h"

namespace cedevice {

namespace {

using ce::posix::RegFile;
using ce::posix::RegKeyContents;
using ce::posix::RegValueData;

std::string text(const std::u16string& s) {
    return ce::utf8(s);
}

// Names and paths as a listing shows them: their control characters
// written out.
std::string shown(const std::u16string& s) {
    return escapedText(text(s));
}

std::string shownName(const std::u16string& name) {
    return name.empty() ? "(default)" : shown(name);
}

bool isBelow(const std::u16string& foldedKey, const std::u16string& foldedBase) {
    return foldedKey.size() > foldedBase.size() &&
           foldedKey.compare(0, foldedBase.size(), foldedBase) == 0 &&
           foldedKey[foldedBase.size()] == u'\\';
}

// The components of a key path as written; empty ones are no components.
std::vector<std::u16string> componentsOf(const std::u16string& path) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t sep = path.find(u'\\', start);
        if (sep == std::u16string::npos)
            sep = path.size();
        if (sep > start)
            parts.push_back(path.substr(start, sep - start));
        start = sep + 1;
    }
    return parts;
}

// The names of the key's direct subkeys, in the case first written, each
// once, in the order of the registry file.
std::vector<std::u16string> subkeysOf(const std::vector<RegKeyContents>& keys,
                                      const std::u16string& keyPath) {
    const std::u16string base = ce::posix::regTextFoldPath(keyPath);
    const size_t depth = componentsOf(keyPath).size();
    std::vector<std::u16string> names;
    std::unordered_set<std::u16string> folded;
    for (const RegKeyContents& k : keys) {
        if (!isBelow(ce::posix::regTextFoldPath(k.path), base))
            continue;
        std::u16string name = componentsOf(k.path)[depth];
        if (folded.insert(ce::posix::regTextFold(name)).second)
            names.push_back(std::move(name));
    }
    return names;
}

const RegKeyContents* findContents(const std::vector<RegKeyContents>& keys,
                                   const std::u16string& keyPath) {
    const std::u16string folded = ce::posix::regTextFoldPath(keyPath);
    for (const RegKeyContents& k : keys) {
        if (ce::posix::regTextFoldPath(k.path) == folded)
            return &k;
    }
    return nullptr;
}

std::string padded(const std::string& utf8, size_t columns) {
    size_t have = columnsOf(utf8);
    return utf8 + std::string(have < columns ? columns - have : 0, ' ');
}

void printKey(const RegFile& file, const std::u16string& keyPath) {
    const std::vector<RegKeyContents> keys = ce::posix::regFileContents(file);
    const RegKeyContents* own = findContents(keys, keyPath);
    std::printf("[%s]\n", shown(own != nullptr ? own->path : keyPath).c_str());
    if (own != nullptr) {
        size_t nameWidth = 0;
        size_t typeWidth = 0;
        for (size_t i = 0; i < own->names.size(); ++i) {
            nameWidth = std::max(nameWidth, columnsOf(shownName(own->names[i])));
            typeWidth = std::max(typeWidth, typeName(own->data[i].type).size());
        }
        for (size_t i = 0; i < own->names.size(); ++i) {
            std::printf("%s  %-*s  %s\n", padded(shownName(own->names[i]), nameWidth).c_str(),
                        static_cast<int>(typeWidth), typeName(own->data[i].type).c_str(),
                        valueOneLine(own->data[i]).c_str());
        }
    }
    const std::vector<std::u16string> subkeys = subkeysOf(keys, keyPath);
    if (!subkeys.empty()) {
        std::printf("subkeys:\n");
        for (const std::u16string& name : subkeys)
            std::printf("  %s\n", shown(name).c_str());
    }
}

bool keyArgument(const std::string& arg, std::u16string* key, int* status) {
    std::string error;
    if (parseKeyPath(arg, key, &error))
        return true;
    *status = usageError(error);
    return false;
}

bool nameArgument(const std::string& arg, std::u16string* name, int* status) {
    if (ce::utf8ToU16(arg.data(), arg.size(), name))
        return true;
    *status = usageError("the value name is not UTF-8 text");
    return false;
}

// A root always exists, as on the device, though no header names it.
bool keyExists(const RegFile& file, const std::u16string& key) {
    return key.find(u'\\') == std::u16string::npos || ce::posix::regFileKeyExists(file, key);
}

std::string noValue(const std::u16string& key, const std::u16string& name) {
    return "no value " + shownName(name) + " in " + text(key);
}

}  // namespace

int getCommand(const Args& args) {
    if (args.empty() || args.size() > 2)
        return usageError("get takes KEY and an optional value NAME");
    int status = kExitOk;
    std::u16string key;
    std::u16string name;
    if (!keyArgument(args[0], &key, &status) ||
        (args.size() == 2 && !nameArgument(args[1], &name, &status))) {
        return status;
    }
    std::shared_ptr<const RegFile> file = readRegistry();
    if (file == nullptr)
        return kExitFailed;
    if (!keyExists(*file, key))
        return fail("no key " + text(key));
    if (args.size() == 1) {
        printKey(*file, key);
        return kExitOk;
    }
    RegValueData value;
    if (!ce::posix::regFileGetValue(*file, key, name, &value))
        return fail(noValue(key, name));
    std::fputs(valueAsIs(value).c_str(), stdout);
    return kExitOk;
}

int setCommand(const Args& argsIn) {
    Args args = argsIn;
    std::string type = "sz";
    if (!args.empty() && (args[0] == "--type" || args[0] == "-t")) {
        if (args.size() < 2)
            return usageError(args[0] + " needs a TYPE");
        type = args[1];
        args.erase(args.begin(), args.begin() + 2);
    } else if (!args.empty() && args[0].rfind("--type=", 0) == 0) {
        type = args[0].substr(7);
        args.erase(args.begin());
    }
    // No key path begins with '-': a second --type, or "--", is an option
    // where KEY stands.
    if (!args.empty() && args[0].size() > 1 && args[0][0] == '-')
        return usageError("set takes one [--type TYPE] before KEY, not " + args[0]);
    if (args.size() < 2 || (args.size() < 3 && type != "multi_sz"))
        return usageError("set takes [--type TYPE] KEY NAME DATA");
    int status = kExitOk;
    std::u16string key;
    std::u16string name;
    if (!keyArgument(args[0], &key, &status) || !nameArgument(args[1], &name, &status))
        return status;
    RegValueData value;
    std::string error;
    if (!parseValue(type, Args(args.begin() + 2, args.end()), &value, &error))
        return usageError(error);
    return editRegistry([&](RegFile* file, std::string* refusal) {
        if (ce::posix::regFileSetValue(file, key, name, value.type, value.bytes.data(),
                                       value.bytes.size())) {
            return true;
        }
        *refusal = "the value " + shownName(name) + " of " + text(key) +
                   " cannot be written into this registry file (a line break in the key's path or "
                   "the name, a path, name or text with no form in the file's encoding, or text "
                   "of an odd number of bytes, which a REGEDIT4 file cannot hold)";
        return false;
    });
}

int deleteCommand(const Args& args) {
    if (args.empty() || args.size() > 2)
        return usageError("delete takes KEY and an optional value NAME");
    int status = kExitOk;
    std::u16string key;
    std::u16string name;
    if (!keyArgument(args[0], &key, &status) ||
        (args.size() == 2 && !nameArgument(args[1], &name, &status))) {
        return status;
    }
    if (args.size() == 1 && key.find(u'\\') == std::u16string::npos)
        return usageError("a root key cannot be deleted; name a key below it");
    return editRegistry([&](RegFile* file, std::string* refusal) {
        if (args.size() == 2) {
            if (ce::posix::regFileDeleteValue(file, key, name))
                return true;
            *refusal = keyExists(*file, key) ? noValue(key, name) : "no key " + text(key);
            return false;
        }
        if (ce::posix::regFileDeleteKey(file, key))
            return true;
        *refusal = "no key " + text(key);
        return false;
    });
}

namespace {

// The bytes of a file to import, or of standard input for "-"; false with
// the reason said when it cannot be read.  A pipe (a named one, or the
// file of a shell's process substitution) is read to its end; one that is
// named waits for its writer, as any reader of it does.  Other files that
// are no regular file are refused, so that none can make the import hang.
bool readImportSource(const std::string& name, ce::posix::RegBytes* bytes, int* status) {
    const bool fromStdin = name == "-";
    struct stat st;
    int fd = 0;
    if (!fromStdin) {
        bool pipe = stat(name.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | (pipe ? 0 : O_NONBLOCK));
    }
    int error = 0;
    if (fd < 0 || fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (!fromStdin && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        error = EINVAL;
    else if (S_ISREG(st.st_mode) &&
             static_cast<uint64_t>(st.st_size) > ce::posix::kRegistryMaxBytes)
        error = EFBIG;
    // A file larger than the memory there is is one that cannot be read,
    // not the end of the program.
    try {
        if (error == 0 && S_ISREG(st.st_mode))
            bytes->reserve(static_cast<size_t>(st.st_size) +
                           1);  // a file growing meanwhile grows it
        char buf[64 * 1024];
        for (ssize_t n = 1; error == 0 && n > 0;) {
            n = read(fd, buf, sizeof buf);
            if (n > 0 && bytes->size() + static_cast<size_t>(n) > ce::posix::kRegistryMaxBytes)
                error = EFBIG;  // a pipe that never ends, say
            else if (n > 0)
                bytes->insert(bytes->end(), buf, buf + n);
            else if (n < 0 && errno != EINTR)
                error = errno;
            else if (n < 0)
                n = 1;
        }
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
        *bytes = ce::posix::RegBytes();
    }
    if (fd > 0)
        close(fd);
    if (error == 0)
        return true;
    *status = fail("cannot read " + (fromStdin ? std::string("standard input") : name) + ": " +
                   (error == EINVAL  ? std::string("not a regular file or pipe")
                    : error == EFBIG ? std::string(ce::posix::kRegistryTooLarge)
                                     : ce::posix::systemError(error)));
    return false;
}

}  // namespace

int importCommand(const Args& args) {
    if (args.size() != 1)
        return usageError("import takes one FILE (- for standard input)");
    ce::posix::RegBytes bytes;
    int status = kExitOk;
    if (!readImportSource(args[0], &bytes, &status))
        return status;
    const RegFile source = ce::posix::regFileParseOwned(std::move(bytes));
    const std::string shown = args[0] == "-" ? "(standard input)" : args[0];
    // The export is read once, under the registry's lock: checked whole
    // while it is merged, and a malformed one changes nothing.
    return editRegistry([&](RegFile* file, std::string* refusal) {
        ce::posix::RegExportFault fault;
        if (ce::posix::regFileImport(file, source, &fault))
            return true;
        if (fault.line == 1) {
            *refusal = shown + " is not a registry export: its first line is neither \"" +
                       text(ce::posix::kRegFileHeader) + "\" nor \"REGEDIT4\"";
        } else if (fault.line > 1) {
            *refusal = shown + ":" + std::to_string(fault.line) + ": " + fault.what +
                       "; nothing was imported";
        } else {
            *refusal = "a key or value of " + shown +
                       " cannot be written into this registry file; nothing was imported";
        }
        return false;
    });
}

int exportCommand(const Args& args) {
    if (args.size() > 1)
        return usageError("export takes an optional KEY; redirect its output to a file");
    int status = kExitOk;
    std::u16string key;
    if (args.size() == 1 && !keyArgument(args[0], &key, &status))
        return status;
    std::shared_ptr<const RegFile> file = readRegistry();
    if (file == nullptr)
        return kExitFailed;
    if (!key.empty() && !keyExists(*file, key))
        return fail("no key " + text(key));
    std::string out;
    std::vector<ce::posix::RegLeftOut> leftOut;
    ce::posix::regFileExport(*file, key, &out, &leftOut);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return fail("cannot write the export: " + ce::posix::systemError(errno));
    // The rest is exported all the same; the status says it is not whole.
    for (const ce::posix::RegLeftOut& gap : leftOut) {
        fail(gap.name.empty() ? "left out of the export: the key " + text(gap.key) +
                                    " with its values (" + gap.reason + ")"
                              : "left out of the export: the value " + text(gap.name) + " of " +
                                    text(gap.key) + " (" + gap.reason + ")");
    }
    return leftOut.empty() ? kExitOk : kExitFailed;
}

}  // namespace cedevice
