// The line that says what to fix, for failures and for runs that change
// nothing, on the sample device.  It comes beside the result and the boxes,
// which stay as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "tests/support/device_fixture.h"

namespace {

namespace fs = std::filesystem;
using cetest::RunResult;

constexpr char kPlg[] = "-plg:\\Program Files\\Lorvendi\\lorvendi.plg";
constexpr char kPage[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1";

struct Line {
    const char* what;
    std::function<void(const std::string& dev)> setUp;
    std::string exe;
    std::vector<std::string> args;
    int exit;
    std::string line;  // "{dev}" stands for the device directory
};

void writeFs(const std::string& dev, const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(dev + "/fs/" + path).parent_path());
    cetest::writeHostFile(dev + "/fs/" + path, bytes);
}

void nothing(const std::string&) {}

// The scanner's settings alone: its key with these value lines.
void scannerSettings(const std::string& dev, const std::string& values) {
    cetest::writeHostFile(
        dev + "/registry.reg",
        std::string("Windows Registry Editor Version 5.00\n\n[") + kPage + "]\n" + values);
}

std::string replaced(std::string text, const std::string& dev) {
    for (size_t at = text.find("{dev}"); at != std::string::npos; at = text.find("{dev}"))
        text.replace(at, 5, dev);
    return text;
}

bool saysLine(const std::string& err, const std::string& line) {
    std::istringstream in(err);
    std::string got;
    while (std::getline(in, got)) {
        if (got == line)
            return true;
    }
    return false;
}

TEST(FailureLines, SayWhatToFix) {
    const std::string layers =
        "<Layer ID=\"LorvendiExpanded\">\r\n</Layer>\r\n<Layer ID=\"LorvendiCondensed\">\r\n"
        "</Layer>\r\n";
    const Line cases[] = {
        {"a bare call",
         nothing,
         QORVINSTALL_EXE,
         {},
         1,
         "qorvinstall: no action given; usage: qorvinstall -addchange '-plg:\\path\\plugin.plg' "
         "-cpr:LAYOUT | -delete -cpr:LAYOUT -plugin:NAME | -change -cpr:LAYOUT "
         "-view:TitaniumListView|-view:BronzeListView [-silent] (qorvinstall --help says more)"},
        {"an unquoted path whose backslashes the shell ate",
         nothing,
         QORVINSTALL_EXE,
         {"-addchange", "-plg:Program", "FilesLorvendilorvendi.plg", "-cpr:currentPortrait",
          "-silent"},
         1,
         "qorvinstall: the path after -plg: must be a device path that begins with a backslash, "
         "such as '-plg:\\Program Files\\Lorvendi\\lorvendi.plg'; quote it in a shell, which "
         "otherwise eats the backslashes"},
        {"a layout path whose backslash the shell ate, which begins with a mode word",
         nothing,
         QORVINSTALL_EXE,
         {"-change", "-cpr:allday.cpr", "-view:BronzeListView", "-silent"},
         0,
         "qorvinstall: -cpr:allday.cpr is read as -cpr:all, whose word begins it; a layout file is "
         "named by its path from a backslash, quoted in a shell: '-cpr:\\path\\x.cpr'"},
        {"a layout mode in the wrong case",
         nothing,
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:currentportrait", "-silent"},
         1,
         "qorvinstall: the layout modes are case-sensitive: write -cpr:currentPortrait"},
        {"an upper-case extension",
         nothing,
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\Program Files\\Lorvendi\\lorvendi.PLG", "-cpr:currentPortrait"},
         1,
         "qorvinstall: the path after -plg: must end in .plg written in lower case (the device "
         "ignores case, so the file is found all the same)"},
        {"no block for the screen",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/device.conf", "screen=240x320\n");
         },
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:\\Windows\\qorvhome_480x800.cpr", "-silent"},
         1,
         "qorvinstall: \\Program Files\\Lorvendi\\lorvendi.plg has no layout block for this "
         "screen, 240x320; it has blocks for 480x800, 800x480"},
        {"a block the search passes over",
         [](const std::string& dev) {
             writeFs(dev, "p/w.plg",
                     "<name>W</name>\r\n<position>1</position>\r\n"
                     "<layout screenHeight=\"800\" screenWidth=\"480\">\r\n<B/>\r\n</layout>\r\n");
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\p\\w.plg", "-cpr:\\Windows\\qorvhome_480x800.cpr", "-silent"},
         1,
         "qorvinstall: \\p\\w.plg has no layout block for this screen, 480x800; it has blocks "
         "for 480x800 (not found: write screenWidth=\"480\" screenHeight=\"800\", width first, "
         "one blank between)"},
        {"a block before the position line, where the add does not look",
         [](const std::string& dev) {
             writeFs(dev, "p/b.plg",
                     "<name>W</name>\r\n<layout screenWidth=\"480\" screenHeight=\"800\">\r\n"
                     "<B/>\r\n</layout>\r\n<position>1</position>\r\n");
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\p\\b.plg", "-cpr:\\Windows\\qorvhome_480x800.cpr", "-silent"},
         1,
         "qorvinstall: \\p\\b.plg has no layout block (<layout screenWidth=\"W\" "
         "screenHeight=\"H\">) after its position line; this screen needs one for 480x800"},
        {"a NUL byte in the name",
         [](const std::string& dev) {
             writeFs(dev, "p/n.plg",
                     std::string("<name>Ab\0c</name>\r\n<position>1</position>\r\n", 43));
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\p\\n.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: the plugin's name \"Ab\" in \\p\\n.plg holds a control character (0x00); "
         "a name may hold no blank, control character, ;, \", <, > or &, nor -addchange, which "
         "the home screen's lists, the layout or -delete -plugin: cannot take"},
        {"a layout without a list view",
         [](const std::string& dev) { writeFs(dev, "Windows/flat.cpr", "<Form>\r\n</Form>\r\n"); },
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:\\Windows\\flat.cpr", "-silent"},
         1,
         "qorvinstall: \\Windows\\flat.cpr has no list view (<TitaniumListView or "
         "<BronzeListView), so there is no place for the plugin; nothing was changed"},
        {"a list view without a form end",
         [](const std::string& dev) {
             writeFs(dev, "Windows/open.cpr",
                     "<Form>\r\n<BronzeListView>\r\n</BronzeListView>\r\n");
         },
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:\\Windows\\open.cpr", "-silent"},
         1,
         "qorvinstall: \\Windows\\open.cpr has no line with </Form> after its list view (and no "
         "layers of the plugin), so there is no place for the plugin; nothing was changed"},
        {"an add whose old layers lack their last end",
         [&](const std::string& dev) {
             writeFs(dev, "Windows/cut.cpr", "<TitaniumListView>\r\n" + layers);
         },
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:\\Windows\\cut.cpr", "-silent"},
         1,
         "qorvinstall: the layers of Lorvendi in \\Windows\\cut.cpr are cut short: only one "
         "</Layer> "
         "follows its condensed layer, and a plugin's layers end with the second; mend or remove "
         "them"},
        {"a removal whose layers lack the condensed one",
         [](const std::string& dev) {
             writeFs(dev, "Windows/cut.cpr",
                     "<TitaniumListView>\r\n<Layer ID=\"ClockExpanded\">\r\n</Layer>\r\n");
         },
         QORVINSTALL_EXE,
         {"-delete", "-cpr:\\Windows\\cut.cpr", "-plugin:Clock", "-silent"},
         1,
         "qorvinstall: the layers of Clock in \\Windows\\cut.cpr are cut short: no line after its "
         "expanded layer holds its condensed layer's <Layer ID=; mend or remove them"},
        {"a removal whose layers lack the third, in front of another plugin's",
         [](const std::string& dev) {
             writeFs(dev, "Windows/cut.cpr",
                     "<TitaniumListView>\r\n<Layer ID=\"ClockExpanded\">\r\n</Layer>\r\n"
                     "<Layer ID=\"ClockCondensed\"/>\r\n<Layer ID=\"MailExpanded\">\r\n"
                     "</Layer>\r\n</Form>\r\n");
         },
         QORVINSTALL_EXE,
         {"-delete", "-cpr:\\Windows\\cut.cpr", "-plugin:Clock", "-silent"},
         1,
         "qorvinstall: the layers of Clock in \\Windows\\cut.cpr are cut short: another plugin's "
         "layers (a <Layer ID=\"...Expanded\") or the form's end follow its condensed layer before "
         "the second </Layer> after it, where a plugin's layers end; mend or remove them"},
        {"a plugin name with a blank",
         [](const std::string& dev) {
             writeFs(dev, "w.plg", "<name>My Weather</name>\n<position>1</position>\n");
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\w.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: the plugin's name \"My Weather\" in \\w.plg holds a blank; a name may hold "
         "no blank, control character, ;, \", <, > or &, nor -addchange, which the home screen's "
         "lists, the layout or -delete -plugin: cannot take"},
        {"a plugin definition in UTF-16",
         [](const std::string& dev) {
             std::string text = "\xFF\xFE";
             for (char c : std::string("<name>W</name>\r\n<position>1</position>\r\n"))
                 text += std::string(1, c) + '\0';
             writeFs(dev, "w.plg", text);
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\w.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: \\w.plg is UTF-16 text, which the installer does not read (it looks for "
         "its tags in 8-bit lines): save it as UTF-8"},
        {"a read-only layout, which the device does not overwrite either",
         [](const std::string& dev) {
             fs::permissions(dev + "/fs/Windows/qorvhome_480x800.cpr", fs::perms::owner_read |
                                                                           fs::perms::group_read |
                                                                           fs::perms::others_read);
         },
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: cannot write \\Windows\\qorvhome_480x800.cpr in {dev}/fs: Permission "
         "denied"},
        {"a plugin name that would make a delete an add",
         [](const std::string& dev) {
             writeFs(dev, "w.plg", "<name>Lv-addchange</name>\n<position>1</position>\n");
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\w.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: the plugin's name \"Lv-addchange\" in \\w.plg holds the text -addchange; a "
         "name may hold no blank, control character, ;, \", <, > or &, nor -addchange, which the "
         "home screen's lists, the layout or -delete -plugin: cannot take"},
        {"a missing file on a path through a link",
         [](const std::string& dev) {
             fs::create_directory_symlink("Lorvendi", dev + "/fs/Program Files/Link");
         },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\Program Files\\Link\\nope.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: cannot read \\Program Files\\Link\\nope.plg in {dev}/fs: No such file or "
         "directory"},
        {"a missing file on a path through a link out of the device",
         [](const std::string& dev) { fs::create_directory_symlink("/etc", dev + "/fs/Out"); },
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\Out\\nope.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: cannot read \\Out\\nope.plg in {dev}/fs: No such file or directory"},
        {"no home screen key",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/registry.reg", "Windows Registry Editor Version 5.00\n");
         },
         QORVINSTALL_EXE,
         {"-change", "-cpr:all", "-silent"},
         1,
         "qorvinstall: the device's registry has no key "
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome, which the Titanium home screen keeps its "
         "layout and plugins in; is this the right device? (cedevice create --sample DIR makes one "
         "that has it)"},
        {"a registry that cannot be read, which lacks no key",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/registry.reg", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
         },
         QORVINSTALL_EXE,
         {"-change", "-cpr:all", "-silent"},
         1,
         "qorvinstall: so the key HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome cannot be "
         "opened: the device's registry cannot be read"},

        // Runs that change nothing.
        {"a delete of a name that is nowhere",
         nothing,
         QORVINSTALL_EXE,
         {"-delete", "-cpr:currentPortrait", "-plugin:Weather", "-silent"},
         0,
         "qorvinstall: nothing to delete: no plugin Weather in \\Windows\\qorvhome_480x800.cpr "
         "nor in the home screen's lists (names are case-sensitive, and -plugin: ends at the first "
         "blank)"},
        {"a delete whose name a blank after the colon left empty",
         nothing,
         QORVINSTALL_EXE,
         {"-delete", "-cpr:currentPortrait", "-plugin:", "Weather", "-silent"},
         0,
         "qorvinstall: nothing to delete: the name after -plugin: is empty (a blank right after "
         "the colon ends it): write -plugin:NAME"},
        {"a plugin list that is no text, which written back would lose entries",
         [](const std::string& dev) {
             cetest::runProgram(CEDEVICE_EXE,
                                {"set", "--type", "multi_sz", "HKLM\\SOFTWARE\\Microsoft\\CHome",
                                 "Plugins", "Clock", "Messaging", "Calendar"},
                                dev);
         },
         QORVINSTALL_EXE,
         {"-delete", "-cpr:currentPortrait", "-plugin:Calendar", "-silent"},
         1,
         "qorvinstall: the home screen's key HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome has "
         "no Plugins value that can be read (missing, not text, or longer than 8091 characters)"},
        {"a control character in what a line quotes is shown, not sent",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/device.conf", "screen=320x240\rscreen=640x480\n");
         },
         QORVINSTALL_EXE,
         {"-change", "-cpr:currentPortrait", "-view:BronzeListView", "-silent"},
         0,
         "qorvinstall: {dev}/device.conf line 1: screen=320x240\\x0Dscreen=640x480 is not "
         "WIDTHxHEIGHT in decimal with a lower-case x, such as 480x800; the screen is 480x800"},
        {"a ForbiddenList too long to read, which forbids nothing",
         [](const std::string& dev) {
             cetest::runProgram(CEDEVICE_EXE,
                                {"set", "HKCU\\SOFTWARE\\QORV", "ForbiddenList",
                                 ";qorvhome;" + std::string(8082, 'z')},
                                dev);
         },
         QORVINSTALL_EXE,
         {"-change", "-cpr:currentPortrait", "-view:BronzeListView", "-silent"},
         0,
         "qorvinstall: the ForbiddenList in HKEY_CURRENT_USER\\SOFTWARE\\QORV is longer than "
         "8091 characters and cannot be read, so it forbids nothing"},
        {"an add to a layout the run record forbids",
         [](const std::string& dev) {
             cetest::runProgram(
                 CEDEVICE_EXE, {"set", "HKCU\\SOFTWARE\\QORV", "ForbiddenList", ";qorvhome;"}, dev);
         },
         QORVINSTALL_EXE,
         {"-addchange", kPlg, "-cpr:currentPortrait", "-silent"},
         0,
         "qorvinstall: nothing changed: the current layout is on the ForbiddenList in "
         "HKEY_CURRENT_USER\\SOFTWARE\\QORV, so \\Windows\\qorvhome_480x800.cpr and the home "
         "screen's lists stay as they were"},
        {"a switch without a view",
         nothing,
         QORVINSTALL_EXE,
         {"-change", "-cpr:currentPortrait", "-silent"},
         0,
         "qorvinstall: nothing switched: -change needs -view:TitaniumListView or "
         "-view:BronzeListView"},
        {"a switch of a layout without a list view",
         [](const std::string& dev) { writeFs(dev, "Windows/flat.cpr", "<Form>\r\n</Form>\r\n"); },
         QORVINSTALL_EXE,
         {"-change", "-cpr:\\Windows\\flat.cpr", "-view:BronzeListView", "-silent"},
         0,
         "qorvinstall: nothing switched: \\Windows\\flat.cpr has no list view (<TitaniumListView "
         "or <BronzeListView)"},
        {"a switch to the variant the layout has",
         nothing,
         QORVINSTALL_EXE,
         {"-change", "-cpr:currentPortrait", "-view:TitaniumListView", "-silent"},
         0,
         "qorvinstall: nothing switched: the list view of \\Windows\\qorvhome_480x800.cpr is "
         "Titanium already"},
        {"a scan of a folder that does not exist",
         [](const std::string& dev) {
             scannerSettings(dev, "\"searchRootDir\"=\"\\\\Linkz\"\n\"dirFile\"=\"\\\\l.txt\"\n");
         },
         ZANDOVAL_EXE,
         {},
         0,
         "zandoval: the folder \\Linkz (searchRootDir in " + std::string(kPage) +
             ") does not exist on the device or cannot be read; the list is empty"},
        {"a scan without a list file",
         [](const std::string& dev) { scannerSettings(dev, "\"searchRootDir\"=\"\\\\Links\"\n"); },
         ZANDOVAL_EXE,
         {},
         1,
         "zandoval: " + std::string(kPage) +
             " has no dirFile (or one longer than 8091 characters): set it to the device path of "
             "the list file, such as \\lorvendi.txt; the shortcuts are counted, not listed"},
        {"a scan whose list's folder does not exist",
         [](const std::string& dev) {
             scannerSettings(
                 dev, "\"searchRootDir\"=\"\\\\Links\"\n\"dirFile\"=\"\\\\Lists\\\\l.txt\"\n");
         },
         ZANDOVAL_EXE,
         {},
         1,
         "zandoval: the list \\Lists\\l.txt (dirFile in " + std::string(kPage) +
             ") cannot be written: its folder must exist and take new files; the shortcuts are "
             "counted, not listed, and an earlier list stays as it was"},
        {"a scan whose filter is too long to read, which filters nothing",
         [](const std::string& dev) {
             scannerSettings(
                 dev, "\"searchRootDir\"=\"\\\\Links\"\n\"dirFile\"=\"\\\\l.txt\"\n\"enter\"=\"" +
                          std::string(200, 'w') + "\"\n");
         },
         ZANDOVAL_EXE,
         {},
         0,
         "zandoval: " + std::string(kPage) +
             " has an enter too long to read (longer than 199 characters), so "
             "every shortcut is listed"},
        {"a scan whose list file is a folder: the system's reason, no full disk",
         [](const std::string& dev) {
             fs::create_directory(dev + "/fs/list");
             scannerSettings(dev, "\"searchRootDir\"=\"\\\\Links\"\n\"dirFile\"=\"\\\\list\"\n");
         },
         ZANDOVAL_EXE,
         {},
         1,
         "zandoval: cannot write \\list in {dev}/fs: Is a directory"},
    };
    for (const Line& c : cases) {
        SCOPED_TRACE(c.what);
        cetest::TempDevice dev;
        fs::copy(SAMPLE_DEVICE_DIR, dev.dir(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        c.setUp(dev.dir());
        RunResult r = cetest::runProgram(c.exe, c.args, dev.dir());
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_TRUE(saysLine(r.err, replaced(c.line, dev.dir()))) << r.err;
    }
}

// A run that changes what it was asked to, and a silent failure's result,
// stay as they were: no line for the one, the record for the other.
TEST(FailureLines, NoneForARunThatDidItsWork) {
    cetest::TempDevice dev;
    fs::copy(SAMPLE_DEVICE_DIR, dev.dir(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-addchange", kPlg, "-cpr:currentPortrait", "-silent"},
          {"-change", "-cpr:currentPortrait", "-view:BronzeListView", "-silent"},
          {"-delete", "-cpr:currentPortrait", "-plugin:Lorvendi", "-silent"}}) {
        RunResult r = cetest::runProgram(QORVINSTALL_EXE, args, dev.dir());
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, "") << args[0];
    }
}

}  // namespace
