// Helpers of the installer run tests: a registry text builder, runs of the
// real qorvinstall, the boxes it showed and the order of run record values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/device_fixture.h"

namespace qorvtest {

inline const std::string kExe = QORVINSTALL_EXE;
inline const std::string kRunKey = "SOFTWARE\\QORV";
inline const std::string kHomeKey = "SOFTWARE\\Microsoft\\CHome";

// registry.reg as UTF-8 export text.
class RegText {
public:
    RegText& key(const std::string& path);
    RegText& str(const std::string& name, const std::string& value);
    RegText& dword(const std::string& name, uint32_t value);
    // The usual home screen: "CPRFile" = name and an XML that names it.
    RegText& home(const std::string& name);
    const std::string& text() const { return text_; }

private:
    std::string text_ = "Windows Registry Editor Version 5.00\r\n";
};

// Runs qorvinstall with the whole command line as one argument.
cetest::RunResult runInstaller(const cetest::TempDevice& dev, const std::string& line);

// The texts of the boxes shown ("QORV: text" lines of standard error).
std::vector<std::string> boxes(const cetest::RunResult& r);

// Value names of a key's block in registry.reg, in file order.
std::vector<std::string> valueOrder(const std::string& regText, const std::string& keyPath);

// The names of `order` that are among `wanted`, in the order of `order`.
std::vector<std::string> only(const std::vector<std::string>& order,
                              const std::vector<std::string>& wanted);

// The run record's string and number values.
std::string runString(const cetest::TempDevice& dev, const std::string& name);
int64_t runDword(const cetest::TempDevice& dev, const std::string& name);  // -1 when missing

// A layout file that every editor can work on.
inline const std::string kLayoutText =
    "<Form>\r\n<TitaniumListView ID=\"lv\">\r\n<Layer ID=\"x\">\r\n</Layer>\r\n"
    "</TitaniumListView>\r\n</Form>\r\n";

}  // namespace qorvtest
