#include "package_folder.h"

namespace fs = std::filesystem;

namespace scenario {

Folder samplePackage() {
  return {
      {"config.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
       "<config>\r\n"
       "  <binary code=\"TR0107\">\r\n"
       "    <package_type>O</package_type>\r\n"
       "    <quil_bar_pc>1A2B</quil_bar_pc>\r\n"
       "    <market_type>de-de</market_type>\r\n"
       "  </binary>\r\n"
       "  <binary code=\"TR0200\">\r\n"
       "    <package_type>E</package_type>\r\n"
       "    <market_type>fr-fr</market_type>\r\n"
       "  </binary>\r\n"
       "</config>\r\n"},
      {"kvsetup_o.cif", "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n"},
      {"kvsetup_e.cif", "[Setup]\r\nInf=INSTALL.INF\r\nEdition=E\r\n"},
      {"kv-setup_o.cmd",
       "@echo off\r\nset BAR=B8DF\r\nset MARKET=en-us\r\nsetup /i INSTALL.INF\r\n"},
      {"kv-setup_e.cmd", "@echo off\r\nsetup /i INSTALL.INF /e\r\n"},
      {"kvsetup.cif", "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n"},
  };
}

std::vector<fs::path> launchCommand(const fs::path& stubDir, const std::string& launcherName,
                                    bool throughIntermediate,
                                    const std::vector<std::string>& arguments) {
  const fs::path stub = testing_support::builtProgram("launcher_stub");
  std::vector<fs::path> command;
  if (!launcherName.empty()) {
    command.push_back(stubDir / launcherName);
    fs::copy_file(stub, command.back(), fs::copy_options::overwrite_existing);
  }
  if (throughIntermediate) {
    command.push_back(stubDir / ("intermediate" + std::string(testing_support::kExeSuffix)));
    fs::copy_file(stub, command.back(), fs::copy_options::overwrite_existing);
  }
  command.push_back(testing_support::builtProgram("pkgcustomize"));
  for (const auto& argument : arguments) command.emplace_back(argument);
  return command;
}

}  // namespace scenario
