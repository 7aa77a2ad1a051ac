// The wake-on-LAN magic packet and where it may go. Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/discovery.h"
#include "wake/server_memory.h"

namespace wake {

// The discard port, where wake-on-LAN listeners expect the packet.
constexpr uint16_t kWakePort = 9;
constexpr std::size_t kMagicPacketSize = 102;

// Six bytes 0xFF, then the hardware address sixteen times.
std::vector<uint8_t> MagicPacket(const Mac& mac);

// The destinations of a magic packet: 255.255.255.255, then the directed
// broadcast of every usable adapter of this computer, each once. Nothing
// else: a sleeping server has no address that answers, and the packet must
// not leave the local networks.
std::vector<uint32_t> WakeDestinations(const std::vector<proto::LocalInterface>& interfaces);

}  // namespace wake
