// Messages between the core's threads and the windows of the desktop program.
//
// Workers never touch a window: they post a numbered message to a MessageTarget, which the GUI
// delivers on its own thread as a queued event. Headless front ends implement the same targets.
#pragma once

#include <cstdint>

namespace heatdiag {

enum FrameMessage : std::uint32_t {
  UM_STARTUP = 1025,
  UM_SHOWERROR = 1026,
  UM_LINKENDED = 1027,
  UM_OPENEOLCELL = 1028,
  UM_EOLADDRESSES = 1029,
  UM_EOLEDITOR = 1030,
  UM_OPENCO2DIALOG = 1031,
  UM_TRANSFERDIALOG = 1033,
  UM_PROTOCOLSTART = 1035,
  UM_PROTOCOLSTOP = 1036,
  UM_OPENSEARCHDIALOG = 1037,
  // Store notifications.
  UM_VALUECHANGED = 1044,
  UM_SHOWNCHANGED = 1045,
  UM_PRESENTCHANGED = 1046,
  UM_DATARELEASED = 1047,
  UM_DATAINIT = 1048,
  UM_DATAREADY = 1049,
};

// A window (or its headless stand-in) that receives messages.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Queues the message and returns at once; never blocks the caller on the receiver.
  virtual void Post(std::uint32_t message, std::intptr_t a, std::intptr_t b) = 0;
  // Queues the message and waits until the receiver has handled it (used by workers for
  // messages whose effect they depend on, such as UM_PROTOCOLSTART).
  virtual void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) = 0;
};

}  // namespace heatdiag
