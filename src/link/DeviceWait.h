#pragma once

#include "link/Waiter.h"

class QAbstractSocket;
class QIODevice;

namespace meridial {

// Waiting on a Qt device with any waiter: one that handles events is woken by the device's
// notifications, a blocking one waits in the device's own blocking calls.

// Until the device has bytes to read, closes, or the time is up; true when bytes wait.
bool WaitReadable(Waiter& waiter, QIODevice& device, int milliseconds);

// Until the socket has connected or failed, or the time is up; true when it is connected.
bool WaitConnected(Waiter& waiter, QAbstractSocket& socket, int milliseconds);

}  // namespace meridial
