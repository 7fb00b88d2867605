// The library's C boundary: handles, the four server exports and the methods
// of Veilor. Nothing C++ leaves this file: every entry checks its handles and
// turns every exception into a result and an error struct.

#include "veilor64/veilor64.h"

#include "CipherErrors.h"
#include "Registration.h"
#include "SqliteRegistry.h"
#include "Veilor.h"
#include "WipedString.h"
#include "os/RuntimeError.h"

#include <dlfcn.h>
#include <strings.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

namespace {

constexpr std::uint32_t kFactoryMagic = 0x56464143;   // "VFAC"
constexpr std::uint32_t kInstanceMagic = 0x56454C52;  // "VELR"
constexpr const char* kIUnknown = "{00000000-0000-0000-C000-000000000046}";

}  // namespace

struct veilor_class_factory {
    std::uint32_t magic = kFactoryMagic;
};

struct veilor {
    std::uint32_t magic = kInstanceMagic;
    orvelle::veilor64::Veilor control;
    // Set while an operation of this instance runs, on whatever thread.
    std::atomic<bool> running{false};
    veilor_progress_handler handler = nullptr;
    void* context = nullptr;
};

namespace {

using orvelle::os::RuntimeError;
namespace errors = orvelle::veilor64::errors;

// Everything alive that the library handed out. Handles are looked up here
// before they are touched, so a stale or foreign pointer is refused without
// being read.
class Objects {
public:
    std::mutex mutex;
    std::unordered_map<const veilor_class_factory*, std::unique_ptr<veilor_class_factory>>
        factories;
    std::unordered_map<const veilor*, std::unique_ptr<veilor>> instances;
    // Released by the host while one of their operations still ran.
    std::unordered_map<const veilor*, std::unique_ptr<veilor>> releasedWhileRunning;
    long serverLocks = 0;
};

Objects& Alive() {
    static Objects objects;
    return objects;
}

bool IsFactory(const veilor_class_factory* factory) {
    Objects& alive = Alive();
    const std::lock_guard lock(alive.mutex);
    return factory != nullptr && alive.factories.count(factory) != 0 &&
           factory->magic == kFactoryMagic;
}

bool IsInstance(const veilor* instance) {
    Objects& alive = Alive();
    const std::lock_guard lock(alive.mutex);
    return instance != nullptr && alive.instances.count(instance) != 0 &&
           instance->magic == kInstanceMagic;
}

std::string Text(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

void ClearError(veilor_error* error) {
    if (error != nullptr) {
        error->number = 0;
        error->description[0] = '\0';
    }
}

void SetError(veilor_error* error, std::int32_t number, const std::string& description) {
    if (error == nullptr) {
        return;
    }
    error->number = number;
    std::size_t length =
        std::min(description.size(), std::size_t{VEILOR_ERROR_DESCRIPTION_SIZE - 1});
    // Never cut a character in half.
    while (length > 0 && length < description.size() &&
           (static_cast<unsigned char>(description[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(error->description, description.data(), length);
    error->description[length] = '\0';
}

// The library file's own absolute path, found from the address of a function
// only this library has (an exported one could be interposed by the host).
std::string LibraryPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&LibraryPath), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) == nullptr) {
        return {};
    }
    return resolved;
}

enum class Direction { kEncrypt, kDecrypt };

veilor_result RunOperation(veilor* instance, Direction direction, const char* passPhrase,
                           const char* sourceFile, const char* destinationFile,
                           veilor_error* error) {
    ClearError(error);
    if (!IsInstance(instance)) {
        return VEILOR_E_HANDLE;
    }
    bool expected = false;
    if (!instance->running.compare_exchange_strong(expected, true)) {
        SetError(error, errors::kInvalidProcedureCall, errors::kBusyText);
        return VEILOR_E_EXCEPTION;
    }
    veilor_result result = VEILOR_S_OK;
    try {
        const orvelle::veilor64::WipedString pass(Text(passPhrase));
        const std::string source = Text(sourceFile);
        const std::string destination = Text(destinationFile);
        if (instance->handler != nullptr) {
            const veilor_progress_handler handler = instance->handler;
            void* const context = instance->context;
            instance->control.SetProgressHandler(
                [handler, context](const orvelle::veilor64::ProgressPoint& point) {
                    const std::string caption = orvelle::veilor64::ProgressCaption(point);
                    handler(context, point.position, point.total, point.percent, caption.c_str());
                });
        } else {
            instance->control.SetProgressHandler(nullptr);
        }
        if (direction == Direction::kEncrypt) {
            instance->control.Encrypt(pass.get(), source, destination);
        } else {
            instance->control.Decrypt(pass.get(), source, destination);
        }
    } catch (const RuntimeError& failure) {
        SetError(error, failure.Number(), failure.Description());
        result = VEILOR_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        SetError(error, errors::kOutOfMemory, errors::kOutOfMemoryText);
        result = VEILOR_E_EXCEPTION;
    } catch (...) {
        SetError(error, errors::kInternalError, errors::kInternalErrorText);
        result = VEILOR_E_EXCEPTION;
    }
    instance->running = false;
    // The host let go of the instance while this operation ran: free it now.
    std::unique_ptr<veilor> released;
    {
        Objects& alive = Alive();
        const std::lock_guard lock(alive.mutex);
        const auto found = alive.releasedWhileRunning.find(instance);
        if (found != alive.releasedWhileRunning.end()) {
            released = std::move(found->second);
            alive.releasedWhileRunning.erase(found);
        }
    }
    return result;
}

}  // namespace

extern "C" {

veilor_result DllRegisterServer(void) {
    try {
        const std::string path = LibraryPath();
        if (path.empty()) {
            return VEILOR_SELFREG_E_CLASS;
        }
        orvelle::store::SqliteRegistry registry(orvelle::store::SqliteRegistry::DefaultPath());
        if (!registry.IsOpen()) {
            return VEILOR_SELFREG_E_CLASS;
        }
        return orvelle::veilor64::Registration::Register(registry, path) ==
                       orvelle::store::ERROR_SUCCESS
                   ? VEILOR_S_OK
                   : VEILOR_SELFREG_E_CLASS;
    } catch (...) {
        return VEILOR_SELFREG_E_CLASS;
    }
}

veilor_result DllUnregisterServer(void) {
    try {
        orvelle::store::SqliteRegistry registry(orvelle::store::SqliteRegistry::DefaultPath());
        if (!registry.IsOpen()) {
            return VEILOR_SELFREG_E_CLASS;
        }
        return orvelle::veilor64::Registration::Unregister(registry) ==
                       orvelle::store::ERROR_SUCCESS
                   ? VEILOR_S_OK
                   : VEILOR_SELFREG_E_CLASS;
    } catch (...) {
        return VEILOR_SELFREG_E_CLASS;
    }
}

veilor_result DllGetClassObject(const char* clsid, const char* iid,
                                veilor_class_factory** factory) {
    if (factory == nullptr) {
        return VEILOR_E_POINTER;
    }
    *factory = nullptr;
    if (clsid == nullptr || ::strcasecmp(clsid, VEILOR64_CLSID_VEILOR) != 0) {
        return VEILOR_CLASS_E_CLASSNOTAVAILABLE;
    }
    if (iid == nullptr ||
        (::strcasecmp(iid, VEILOR64_IID_ICLASSFACTORY) != 0 && ::strcasecmp(iid, kIUnknown) != 0)) {
        return VEILOR_E_NOINTERFACE;
    }
    try {
        auto created = std::make_unique<veilor_class_factory>();
        veilor_class_factory* const handle = created.get();
        Objects& alive = Alive();
        const std::lock_guard lock(alive.mutex);
        alive.factories.emplace(handle, std::move(created));
        *factory = handle;
        return VEILOR_S_OK;
    } catch (...) {
        return VEILOR_E_OUTOFMEMORY;
    }
}

veilor_result DllCanUnloadNow(void) {
    Objects& alive = Alive();
    const std::lock_guard lock(alive.mutex);
    return alive.factories.empty() && alive.instances.empty() &&
                   alive.releasedWhileRunning.empty() && alive.serverLocks == 0
               ? VEILOR_S_OK
               : VEILOR_S_FALSE;
}

veilor_result veilor_class_factory_create_instance(veilor_class_factory* factory,
                                                   veilor** instance) {
    if (instance == nullptr) {
        return VEILOR_E_POINTER;
    }
    *instance = nullptr;
    if (!IsFactory(factory)) {
        return VEILOR_E_HANDLE;
    }
    try {
        auto created = std::make_unique<veilor>();
        veilor* const handle = created.get();
        Objects& alive = Alive();
        const std::lock_guard lock(alive.mutex);
        alive.instances.emplace(handle, std::move(created));
        *instance = handle;
        return VEILOR_S_OK;
    } catch (...) {
        return VEILOR_E_OUTOFMEMORY;
    }
}

veilor_result veilor_class_factory_lock_server(veilor_class_factory* factory, int32_t lock) {
    if (!IsFactory(factory)) {
        return VEILOR_E_HANDLE;
    }
    Objects& alive = Alive();
    const std::lock_guard guard(alive.mutex);
    if (lock != 0) {
        ++alive.serverLocks;
    } else if (alive.serverLocks > 0) {
        --alive.serverLocks;
    }
    return VEILOR_S_OK;
}

veilor_result veilor_class_factory_release(veilor_class_factory* factory) {
    std::unique_ptr<veilor_class_factory> released;
    Objects& alive = Alive();
    const std::lock_guard lock(alive.mutex);
    const auto found = alive.factories.find(factory);
    if (factory == nullptr || found == alive.factories.end()) {
        return VEILOR_E_HANDLE;
    }
    released = std::move(found->second);
    alive.factories.erase(found);
    released->magic = 0;
    return VEILOR_S_OK;
}

veilor_result veilor_encrypt(veilor* instance, const char* passPhrase, const char* sourceFile,
                             const char* destinationFile, veilor_error* error) {
    return RunOperation(instance, Direction::kEncrypt, passPhrase, sourceFile, destinationFile,
                        error);
}

veilor_result veilor_decrypt(veilor* instance, const char* passPhrase, const char* sourceFile,
                             const char* destinationFile, veilor_error* error) {
    return RunOperation(instance, Direction::kDecrypt, passPhrase, sourceFile, destinationFile,
                        error);
}

veilor_result veilor_set_progress_handler(veilor* instance, veilor_progress_handler handler,
                                          void* context) {
    if (!IsInstance(instance)) {
        return VEILOR_E_HANDLE;
    }
    instance->handler = handler;
    instance->context = context;
    return VEILOR_S_OK;
}

veilor_result veilor_release(veilor* instance) {
    std::unique_ptr<veilor> released;
    Objects& alive = Alive();
    {
        const std::lock_guard lock(alive.mutex);
        const auto found = alive.instances.find(instance);
        if (instance == nullptr || found == alive.instances.end()) {
            return VEILOR_E_HANDLE;
        }
        released = std::move(found->second);
        alive.instances.erase(found);
        if (released->running) {
            // Its operation is still on the stack; it frees the instance on return.
            alive.releasedWhileRunning.emplace(instance, std::move(released));
            return VEILOR_S_OK;
        }
        released->magic = 0;
    }
    // Destroyed outside the lock: closing a window may run Qt code.
    released.reset();
    return VEILOR_S_OK;
}

const char* veilor64_version(int32_t* major, int32_t* minor) {
    if (major != nullptr) {
        *major = VEILOR64_VERSION_MAJOR;
    }
    if (minor != nullptr) {
        *minor = VEILOR64_VERSION_MINOR;
    }
    return "1.0";
}

}  // extern "C"
