#include "installer/misc_thread.h"

#include "base/thread_registry.h"
#include "installer/thread_ids.h"

MiscThread::MiscThread() : FrameworkThread("Global Misc Thread"), identifier_(kMiscThread) {}

MiscThread::~MiscThread() = default;

void MiscThread::Init() { qbase::ThreadRegistry::RegisterThread(identifier_); }

void MiscThread::Cleanup() { qbase::ThreadRegistry::UnregisterThread(); }
