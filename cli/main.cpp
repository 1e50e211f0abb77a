// heatdiag-cli: the command-line front end of Kelvar Heatdiag.
#include <iostream>

#include "cli/command_line.h"
#include "cli/overview_command.h"
#include "shell/qt/qt_settings_backend.h"
#include "views/qtgui/overview_picture.h"

int main(int argc, char** argv) {
  // The user's own settings, shared with the desktop program.
  heatdiag::QtSettingsBackend settings;
  // Pictures are drawn with QtGui, offscreen; the subcommands themselves know no Qt.
  heatdiag::cli::SetOverviewPictureWriter(heatdiag::SaveOverviewPicture);
  const int status = heatdiag::cli::RunCommandLine(argc, argv, settings, std::cout, std::cerr);
  if (!settings.Sync()) std::cerr << "The settings could not be saved.\n";
  return status;
}
