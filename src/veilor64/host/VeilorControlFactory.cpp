#include "veilor64/VeilorControlFactory.h"

#include "os/RuntimeError.h"
#include "veilor64/veilor64.h"

#include <dlfcn.h>

#include <utility>
#include <vector>

namespace orvelle::veilor64 {
namespace {

using os::RuntimeError;

constexpr const char* kCannotCreateObjectText = "ActiveX component can't create object";
constexpr const char* kErrorInLoadingDllText = "Error in loading DLL";

// The entry points of one loaded library.
struct Exports {
    decltype(&::DllRegisterServer) registerServer = nullptr;
    decltype(&::DllUnregisterServer) unregisterServer = nullptr;
    decltype(&::DllGetClassObject) getClassObject = nullptr;
    decltype(&::veilor_class_factory_create_instance) createInstance = nullptr;
    decltype(&::veilor_class_factory_release) releaseFactory = nullptr;
    decltype(&::veilor_encrypt) encrypt = nullptr;
    decltype(&::veilor_decrypt) decrypt = nullptr;
    decltype(&::veilor_release) release = nullptr;
    decltype(&::veilor_set_progress_handler) setProgressHandler = nullptr;
    decltype(&::veilor64_version) version = nullptr;
};

// One dlopen handle. The library is opened with RTLD_NODELETE: Qt keeps
// pointers to the library's classes (styles, meta-objects) after its windows
// are gone, so its code must stay mapped; the handle itself is still closed.
class Library {
public:
    explicit Library(const std::string& path)
        : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (!handle_) {
            const char* reason = ::dlerror();
            throw RuntimeError(kErrorInLoadingDll, std::string(kErrorInLoadingDllText) + " (" +
                                                       (reason != nullptr ? reason : path) + ")");
        }
        Resolve(exports_.registerServer, "DllRegisterServer");
        Resolve(exports_.unregisterServer, "DllUnregisterServer");
        Resolve(exports_.getClassObject, "DllGetClassObject");
        Resolve(exports_.createInstance, "veilor_class_factory_create_instance");
        Resolve(exports_.releaseFactory, "veilor_class_factory_release");
        Resolve(exports_.encrypt, "veilor_encrypt");
        Resolve(exports_.decrypt, "veilor_decrypt");
        Resolve(exports_.release, "veilor_release");
        Resolve(exports_.setProgressHandler, "veilor_set_progress_handler");
        Resolve(exports_.version, "veilor64_version");
        std::int32_t major = 0;
        static_cast<void>(exports_.version(&major, nullptr));
        if (major != VEILOR64_VERSION_MAJOR) {
            throw RuntimeError(kErrorInLoadingDll, std::string(kErrorInLoadingDllText) +
                                                       " (interface version " +
                                                       std::to_string(major) + ")");
        }
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() = default;

    [[nodiscard]] const Exports& Get() const noexcept { return exports_; }

private:
    template <typename Function>
    void Resolve(Function& function, const char* name) {
        void* symbol = ::dlsym(handle_.get(), name);
        if (symbol == nullptr) {
            throw RuntimeError(kErrorInLoadingDll,
                               std::string(kErrorInLoadingDllText) + " (" + name + " missing)");
        }
        function = reinterpret_cast<Function>(symbol);
    }

    struct Closer {
        void operator()(void* handle) const noexcept { ::dlclose(handle); }
    };
    std::unique_ptr<void, Closer> handle_;
    Exports exports_;
};

// A Veilor created in a loaded library.
class LoadedVeilor final : public os::ICipherControl {
public:
    LoadedVeilor(std::shared_ptr<const Library> library, veilor* instance)
        : library_(std::move(library)), instance_(instance) {}
    LoadedVeilor(const LoadedVeilor&) = delete;
    LoadedVeilor& operator=(const LoadedVeilor&) = delete;
    ~LoadedVeilor() override { static_cast<void>(library_->Get().release(instance_)); }

    void Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile) override {
        Check(library_->Get().encrypt, passPhrase, sourceFile, destinationFile);
    }
    void Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile) override {
        Check(library_->Get().decrypt, passPhrase, sourceFile, destinationFile);
    }
    void SetProgressHandler(std::function<void(int percent)> handler) override {
        handler_ = std::move(handler);
        static_cast<void>(library_->Get().setProgressHandler(
            instance_, handler_ ? &LoadedVeilor::OnProgress : nullptr, this));
    }

private:
    template <typename Method>
    void Check(Method method, const std::string& passPhrase, const std::string& sourceFile,
               const std::string& destinationFile) {
        veilor_error error{};
        const veilor_result result = method(instance_, passPhrase.c_str(), sourceFile.c_str(),
                                            destinationFile.c_str(), &error);
        if (result == VEILOR_E_EXCEPTION) {
            throw RuntimeError(error.number, error.description);
        }
        if (result < 0) {
            // As the platform reports a failed call on an object: the result itself.
            throw RuntimeError(result, "Automation error");
        }
    }

    static void OnProgress(void* context, uint64_t /*position*/, uint64_t /*total*/,
                           int32_t percent, const char* /*caption*/) {
        const auto& handler = static_cast<LoadedVeilor*>(context)->handler_;
        if (handler) {
            handler(static_cast<int>(percent));
        }
    }

    std::shared_ptr<const Library> library_;
    veilor* instance_;
    std::function<void(int percent)> handler_;
};

// The default value of HKEY_CLASSES_ROOT\<path>, or "" when it is not there.
std::string ReadDefault(store::IRegistry& registry, const std::string& path) {
    using namespace os;
    using namespace store;
    HKEY handle = kNullKey;
    if (registry.RegOpenKeyExA(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE, handle) != ERROR_SUCCESS) {
        return {};
    }
    const RegistryKey key(registry, handle);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry.RegQueryValueExA(key.get(), "", &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
        return {};
    }
    std::vector<unsigned char> data(size);
    if (registry.RegQueryValueExA(key.get(), "", &type, data.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    std::string text(data.begin(), data.begin() + size);
    // Up to the terminating zero.
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

void RunServerCall(const std::string& libraryPath, bool registering) {
    const Library library(libraryPath);
    const veilor_result result =
        registering ? library.Get().registerServer() : library.Get().unregisterServer();
    if (result != VEILOR_S_OK) {
        throw RuntimeError(kCannotCreateObject,
                           std::string(kCannotCreateObjectText) + " (" +
                               (registering ? "DllRegisterServer" : "DllUnregisterServer") +
                               " failed)");
    }
}

}  // namespace

std::unique_ptr<os::ICipherControl> VeilorControlFactory::CreateObject(const std::string& progId) {
    const std::string clsid =
        progId.empty() ? std::string() : ReadDefault(registry_, progId + "\\CLSID");
    const std::string path = clsid.empty()
                                 ? std::string()
                                 : ReadDefault(registry_, "CLSID\\" + clsid + "\\InprocServer32");
    if (path.empty()) {
        // Hosts show this text: it names what is missing.
        throw RuntimeError(kCannotCreateObject, std::string(kCannotCreateObjectText) + ": " +
                                                    progId + " is not registered");
    }
    auto library = std::make_shared<const Library>(path);
    veilor_class_factory* factory = nullptr;
    const veilor_result got =
        library->Get().getClassObject(clsid.c_str(), VEILOR64_IID_ICLASSFACTORY, &factory);
    if (got != VEILOR_S_OK || factory == nullptr) {
        throw RuntimeError(kCannotCreateObject, std::string(kCannotCreateObjectText) + ": " + path +
                                                    " does not provide " + clsid);
    }
    veilor* instance = nullptr;
    const veilor_result created = library->Get().createInstance(factory, &instance);
    static_cast<void>(library->Get().releaseFactory(factory));
    if (created != VEILOR_S_OK || instance == nullptr) {
        throw RuntimeError(kCannotCreateObject, std::string(kCannotCreateObjectText) + ": " + path +
                                                    " refused to create " + progId);
    }
    return std::make_unique<LoadedVeilor>(std::move(library), instance);
}

void RegisterServer(const std::string& libraryPath) {
    RunServerCall(libraryPath, true);
}

void UnregisterServer(const std::string& libraryPath) {
    RunServerCall(libraryPath, false);
}

}  // namespace orvelle::veilor64
