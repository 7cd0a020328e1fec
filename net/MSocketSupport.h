#pragma once
// The socket module: start-up, the registry of live sockets, pending host lookups, the
// one-second watchdog, readiness delivery and the error texts.
#include <cstdint>

#include "platform/Text.h"

class CSocket;

namespace MSocketSupport {

// Starts the socket service once; the largest datagram size.
long InitWinsockService();
// Adds the object under its handle and switches notifications on. False on failure
// (LastError* tell why).
bool RegisterSocket(long socket, CSocket* obj);
bool UnregisterSocket(long socket);
// Starts an asynchronous lookup for obj; the request handle, 0 on failure.
long ResolveHost(TextView hostName, CSocket* obj);
// "Connection refused." and the like; "Unknown error." otherwise.
Text GetErrorDescription(long code);
// The socket-service number for a system errno value.
int WinsockError(int err);

// The notification sink and its one-second watchdog (created by the first registration,
// destroyed by the last unregistration).
bool CreateSocketWindow();
void DestroySocketWindow();
bool HasSocketWindow();

// Queues a write notification behind those already waiting.
void PostWriteNotification(long socket);
// Switches the readiness notifications of a registered socket.
void SetWatch(long socket, bool read, bool write);
// Run from CSocket's destructor: forgets the object everywhere.
void SocketDestroyed(CSocket* obj);

bool IsRegistered(long socket);

// Counters for tests.
int RegisteredSockets();
int PendingResolutions();
int CancelledResolutions();
bool ServiceStarted();

long LastErrorNumber();
const Text& LastErrorDescription();
const Text& LastErrorSource();

}  // namespace MSocketSupport
