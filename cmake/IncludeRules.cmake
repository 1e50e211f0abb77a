# Which folder may include what: the layering of the program as data, read by IncludeCheck.cmake.
#
# heatdiag_include_rule(<name> FILES <regex> [EXCEPT <regex>] [ONLY <regex>] [REFUSED <regex>]
#                       WHY <text>)
#   FILES, EXCEPT  the files (paths relative to the source root) the rule is about
#   ONLY           every quoted include ("area/file.h") of those files must match
#   REFUSED        no include of those files (quoted or <angled>, with its delimiters) may match
#
# The core areas' folders gui/, qt/ and qtgui/ go to the Qt libraries (cmake/Area.cmake); every
# other file of src/<area>, heatdiag-cli and the virtual heater is core and builds without Qt.

heatdiag_include_rule(base
  FILES "^src/base/"
  ONLY "^base/"
  WHY "src/base is the ground layer: it includes only base/")

heatdiag_include_rule(link
  FILES "^src/link/"
  ONLY "^(base|link)/"
  WHY "the link layer includes only base/ and link/")

heatdiag_include_rule(core-without-qt
  FILES "^(src/[^/]+|cli|sim)/"
  EXCEPT "^src/[^/]+/(gui|qt|qtgui)/"
  REFUSED "^<(Q|qt)"
  WHY "core files build on the standard library and POSIX only, never on Qt")
