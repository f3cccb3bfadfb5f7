#pragma once
// PortList: the text of upgrade-cli --list-ports. One block per serial device that can be used,
// in the order in which COM1 and COM2 are given out: its stable name (or the device node), the
// COM name it stands for, the node, for USB adapters the vendor and product ids with the
// maker's and product's names, the driver, and whether this user can open it now (with what to
// do when not). A last line names the built-in port slots without a UART. A device named by
// UPGRADE_COM1/UPGRADE_COM2 that is not among them gets a block of its own.

#include "platform/SerialDeviceFactory.h"

#include <string>

std::string portListText(const platform::SerialDeviceFactory& devices);
