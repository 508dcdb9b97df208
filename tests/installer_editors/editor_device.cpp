#include "tests/installer_editors/editor_device.h"

#include "platform/wstr.h"

namespace edtest {

namespace {

std::string str(const std::string& name, const std::string& value) {
    return "\"" + name + "\"=\"" + cetest::regEscape(value) + "\"\r\n";
}

std::string utf8Or(const std::optional<std::u16string>& v) {
    return v ? ce::utf8(*v) : std::string("<missing>");
}

}  // namespace

std::string extXml(const std::string& order) {
    return "<Plugins Order=\"" + order +
           "\" CPRFileName=\"home\"><Plugin Name=\"Clock\"/></Plugins>";
}

void setUpDevice(const cetest::TempDevice& dev, const Home& home) {
    dev.setScreen(480, 800);
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                      kHomeKey + "]\r\n" + str("CPRFile", "home");
    if (home.withExt)
        reg += str("ExtensibilityXML", home.ext);
    if (home.withDef)
        reg += str("DefaultXML", home.def);
    if (home.withPlugins)
        reg += str("Plugins", home.plugins);
    reg += "\r\n[HKEY_CURRENT_USER\\" + kRunKey + "]\r\n";
    dev.writeRegistry(reg);
}

cetest::RunResult runQorv(const cetest::TempDevice& dev, const std::string& line,
                          const std::map<std::string, std::string>& env) {
    return cetest::runProgram(QORVINSTALL_EXE, {line + " -silent"}, dev.dir(), env);
}

std::string addLine(const std::string& mode) {
    return "-addchange -plg:" + kPlg + " -cpr:" + mode;
}

std::string deleteLine(const std::string& plugin, const std::string& mode) {
    return "-delete -cpr:" + mode + " -plugin:" + plugin;
}

int64_t resultCode(const cetest::TempDevice& dev) {
    auto v = dev.regDword(false, kRunKey, "ErrorNumber");
    return v ? static_cast<int64_t>(*v) : -1;
}

std::string resultText(const cetest::TempDevice& dev) {
    return runValue(dev, "ErrorDescription");
}

std::string runValue(const cetest::TempDevice& dev, const std::string& name) {
    return utf8Or(dev.regString(false, kRunKey, name));
}

std::string homeValue(const cetest::TempDevice& dev, const std::string& name) {
    return utf8Or(dev.regString(true, kHomeKey, name));
}

std::string layers(const std::string& name, const std::string& tag) {
    return "    <Layer ID=\"" + name + "Expanded\" Height=\"200\">\r\n" + "      <Text ID=\"" +
           tag + "Big\"/>\r\n" + "    </Layer>\r\n" + "    <Layer ID=\"" + name +
           "Condensed\" Height=\"56\">\r\n" + "      <Text ID=\"" + tag + "Small\"/>\r\n" +
           "    </Layer>\r\n" + "    <Layer ID=\"" + name + "Icon\">\r\n" + "      <Image ID=\"" +
           tag + "Icon\"/>\r\n" + "    </Layer>\r\n";
}

std::string block(int w, int h, const std::string& tag, const std::string& name) {
    return "  <layout screenWidth=\"" + std::to_string(w) + "\" screenHeight=\"" +
           std::to_string(h) + "\">\r\n" + layers(name, tag) + "  </layout>\r\n";
}

std::string plgText(const std::string& name, const std::string& position) {
    return "<plugin>\r\n  <name>" + name + "</name>\r\n  <position>" + position + "</position>\r\n";
}

}  // namespace edtest
