// The library as hosts see it: its C interface loaded from the built file,
// registration in the registry store, and creation by "Veilor64.Veilor".

#include "FakeFileSecurity.h"
#include "Registration.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"
#include "os/RuntimeError.h"
#include "veilor64/VeilorControlFactory.h"
#include "veilor64/veilor64.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>

namespace orvelle::veilor64 {
namespace {

namespace fs = std::filesystem;
using namespace os;
using namespace store;
using namespace filesecurity;

const std::string kLibrary = VEILOR64_LIBRARY_PATH;

// The library opened as a host opens it, with every export looked up.
class LoadedLibrary {
public:
    LoadedLibrary() : handle_(::dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (handle_ == nullptr) {
            throw std::runtime_error(::dlerror());
        }
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() { ::dlclose(handle_); }

    template <typename Function>
    Function* Get(const char* name) const {
        void* symbol = ::dlsym(handle_, name);
        if (symbol == nullptr) {
            throw std::runtime_error(std::string("missing ") + name);
        }
        return reinterpret_cast<Function*>(symbol);
    }

private:
    void* handle_;
};

#define EXPORT(name) library.Get<decltype(::name)>(#name)

// The default value of a key under the classes root, "" when absent.
std::string DefaultValue(IRegistry& registry, const std::string& path,
                         const std::string& name = "") {
    HKEY handle = kNullKey;
    if (registry.RegOpenKeyExA(HKEY_CLASSES_ROOT, path, KEY_READ, handle) != ERROR_SUCCESS) {
        return "<no key>";
    }
    const RegistryKey key(registry, handle);
    unsigned char data[4096];
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    if (registry.RegQueryValueExA(key.get(), name, &type, data, &size) != ERROR_SUCCESS) {
        return "<no value>";
    }
    EXPECT_EQ(type, REG_SZ);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(data[size - 1], 0) << "text values end in a zero";
    return std::string(reinterpret_cast<const char*>(data), size - 1);
}

bool KeyExists(IRegistry& registry, const std::string& path) {
    HKEY handle = kNullKey;
    const bool found =
        registry.RegOpenKeyExA(HKEY_CLASSES_ROOT, path, KEY_READ, handle) == ERROR_SUCCESS;
    static_cast<void>(registry.RegCloseKey(handle));
    return found;
}

const std::string kClassKey = std::string("CLSID\\") + VEILOR64_CLSID_VEILOR;
const std::string kTypeLibKey = std::string("TypeLib\\") + VEILOR64_LIBID;

TEST(RegistrationTest, RecordsTheClassInTheMannerOfThePlatformAndRemovesExactlyThat) {
    orvelle::store::SqliteRegistry registry(":memory:");
    HKEY other = kNullKey;
    ASSERT_EQ(registry.RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{OTHER}\\InprocServer32",
                                       KEY_WRITE, other),
              ERROR_SUCCESS);
    static_cast<void>(registry.RegCloseKey(other));

    ASSERT_EQ(Registration::Register(registry, "/opt/orvelle/libveilor64.so"), ERROR_SUCCESS);
    EXPECT_EQ(DefaultValue(registry, "Veilor64.Veilor"), "Veilor64 file cipher control");
    EXPECT_EQ(DefaultValue(registry, "veilor64.veilor\\clsid"), VEILOR64_CLSID_VEILOR);
    EXPECT_EQ(DefaultValue(registry, kClassKey), "Veilor64 file cipher control");
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\ProgID"), "Veilor64.Veilor");
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\InprocServer32"),
              "/opt/orvelle/libveilor64.so");
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\TypeLib"), VEILOR64_LIBID);
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\Version"), "1.0");
    EXPECT_EQ(DefaultValue(registry, kTypeLibKey + "\\1.0"), "Veilor64");
    EXPECT_EQ(DefaultValue(registry, kTypeLibKey + "\\1.0\\0\\linux64"),
              "/opt/orvelle/libveilor64.so");
    EXPECT_EQ(DefaultValue(registry, kTypeLibKey + "\\1.0\\HELPDIR"), "/opt/orvelle");

    // Registering again replaces, it does not add.
    ASSERT_EQ(Registration::Register(registry, "/usr/lib/orvelle/libveilor64.so"), ERROR_SUCCESS);
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\InprocServer32"),
              "/usr/lib/orvelle/libveilor64.so");

    ASSERT_EQ(Registration::Unregister(registry), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(registry, "Veilor64.Veilor"));
    EXPECT_FALSE(KeyExists(registry, kClassKey));
    EXPECT_FALSE(KeyExists(registry, kTypeLibKey));
    EXPECT_TRUE(KeyExists(registry, "CLSID\\{OTHER}\\InprocServer32"));
    EXPECT_TRUE(KeyExists(registry, "CLSID"));
    EXPECT_TRUE(KeyExists(registry, "TypeLib"));
    // Nothing left to remove is no failure.
    EXPECT_EQ(Registration::Unregister(registry), ERROR_SUCCESS);
}

class LibraryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_OK) << "a test left objects alive";
    }
    void TearDown() override { EXPECT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_OK); }

    veilor* Create() {
        veilor_class_factory* factory = nullptr;
        EXPECT_EQ(
            EXPORT(DllGetClassObject)(VEILOR64_CLSID_VEILOR, VEILOR64_IID_ICLASSFACTORY, &factory),
            VEILOR_S_OK);
        veilor* instance = nullptr;
        EXPECT_EQ(EXPORT(veilor_class_factory_create_instance)(factory, &instance), VEILOR_S_OK);
        EXPECT_EQ(EXPORT(veilor_class_factory_release)(factory), VEILOR_S_OK);
        return instance;
    }

    test::TempEnvironment environment;
    LoadedLibrary library;
};

TEST_F(LibraryTest, RegistersItselfAndIsCreatedByItsIdentifier) {
    ASSERT_EQ(EXPORT(DllRegisterServer)(), VEILOR_S_OK);
    const std::string store = environment.Path("config/orvelle/registry.db");
    ASSERT_TRUE(test::Exists(store));
    orvelle::store::SqliteRegistry registry(store);
    EXPECT_EQ(DefaultValue(registry, kClassKey + "\\InprocServer32"),
              fs::canonical(kLibrary).string());

    VeilorControlFactory factory(registry);
    auto control = factory.CreateObject("Veilor64.Veilor");
    test::WriteFile(environment.Path("plain.txt"), "text to keep secret");
    control->Encrypt("pass", environment.Path("plain.txt"), environment.Path("plain.kdf"));
    control->Decrypt("pass", environment.Path("plain.kdf"), environment.Path("back.txt"));
    EXPECT_EQ(test::ReadFile(environment.Path("back.txt")), "text to keep secret");
    try {
        control->Decrypt("nope", environment.Path("plain.kdf"), environment.Path("x"));
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 64101);
        EXPECT_EQ(error.Description(), "Incorrect Password.");
    }
    EXPECT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_FALSE);
    control.reset();

    ASSERT_EQ(EXPORT(DllUnregisterServer)(), VEILOR_S_OK);
    try {
        static_cast<void>(factory.CreateObject("Veilor64.Veilor"));
        FAIL() << "created after unregistration";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kCannotCreateObject);
        EXPECT_EQ(error.Description(),
                  "ActiveX component can't create object: Veilor64.Veilor is not registered");
    }
}

TEST_F(LibraryTest, HostRegistersALibraryFileAndReportsBrokenRegistrations) {
    RegisterServer(kLibrary);
    orvelle::store::SqliteRegistry registry(orvelle::store::SqliteRegistry::DefaultPath());
    VeilorControlFactory factory(registry);
    EXPECT_NE(factory.CreateObject("veilor64.veilor"), nullptr);

    HKEY key = kNullKey;
    ASSERT_EQ(
        registry.RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", KEY_WRITE, key),
        ERROR_SUCCESS);
    const std::string missing = environment.Path("gone/libveilor64.so");
    ASSERT_EQ(registry.RegSetValueExA(key, "", REG_SZ,
                                      reinterpret_cast<const unsigned char*>(missing.c_str()),
                                      static_cast<std::uint32_t>(missing.size() + 1)),
              ERROR_SUCCESS);
    static_cast<void>(registry.RegCloseKey(key));
    try {
        static_cast<void>(factory.CreateObject("Veilor64.Veilor"));
        FAIL() << "loaded a missing file";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrorInLoadingDll);
        EXPECT_NE(error.Description().find("Error in loading DLL"), std::string::npos);
    }
    EXPECT_THROW(static_cast<void>(factory.CreateObject("Other.Control")), RuntimeError);
    EXPECT_THROW(static_cast<void>(factory.CreateObject("")), RuntimeError);
    EXPECT_THROW(RegisterServer(missing), RuntimeError);
    UnregisterServer(kLibrary);
    EXPECT_FALSE(KeyExists(registry, "Veilor64.Veilor"));
}

TEST_F(LibraryTest, FakeFactoryFailsLikeTheRealOneWhenNothingIsRegistered) {
    // Hosts register the library and retry on exactly this error, so the fake
    // their tests use must raise the same one.
    orvelle::store::SqliteRegistry registry(orvelle::store::SqliteRegistry::DefaultPath());
    VeilorControlFactory real(registry);
    orvelle::filesecurity::fake::FakeControlFactory fake;
    fake.registered.clear();
    std::int32_t realNumber = 0;
    std::string realText;
    try {
        static_cast<void>(real.CreateObject("Veilor64.Veilor"));
    } catch (const RuntimeError& error) {
        realNumber = error.Number();
        realText = error.Description();
    }
    try {
        static_cast<void>(fake.CreateObject("Veilor64.Veilor"));
        FAIL() << "the fake created a control";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), realNumber);
        EXPECT_EQ(error.Description(), realText);
    }
    EXPECT_EQ(realNumber, kCannotCreateObject);
}

TEST_F(LibraryTest, EveryEntryRefusesHandlesItDidNotHandOut) {
    veilor_class_factory* factory = nullptr;
    EXPECT_EQ(EXPORT(DllGetClassObject)("{00000000-0000-0000-0000-000000000001}",
                                        VEILOR64_IID_ICLASSFACTORY, &factory),
              VEILOR_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(EXPORT(DllGetClassObject)(VEILOR64_CLSID_VEILOR, "{bad}", &factory),
              VEILOR_E_NOINTERFACE);
    EXPECT_EQ(EXPORT(DllGetClassObject)(VEILOR64_CLSID_VEILOR, VEILOR64_IID_ICLASSFACTORY, nullptr),
              VEILOR_E_POINTER);
    EXPECT_EQ(EXPORT(DllGetClassObject)(nullptr, nullptr, &factory),
              VEILOR_CLASS_E_CLASSNOTAVAILABLE);

    // A handle of the right type that this library never made.
    alignas(64) unsigned char foreign[4096] = {};
    auto* fakeFactory = reinterpret_cast<veilor_class_factory*>(foreign);
    auto* fakeInstance = reinterpret_cast<veilor*>(foreign);
    veilor* instance = nullptr;
    veilor_error error{};
    EXPECT_EQ(EXPORT(veilor_class_factory_create_instance)(fakeFactory, &instance),
              VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_class_factory_create_instance)(nullptr, &instance), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_class_factory_lock_server)(fakeFactory, 1), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_class_factory_release)(fakeFactory), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_encrypt)(fakeInstance, "a", "b", "c", &error), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_decrypt)(nullptr, "a", "b", "c", &error), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_set_progress_handler)(fakeInstance, nullptr, nullptr), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_release)(fakeInstance), VEILOR_E_HANDLE);
    EXPECT_EQ(error.number, 0);

    // Released handles are refused too, without being read.
    veilor* released = Create();
    ASSERT_NE(released, nullptr);
    EXPECT_EQ(EXPORT(veilor_release)(released), VEILOR_S_OK);
    EXPECT_EQ(EXPORT(veilor_encrypt)(released, "a", "b", "c", &error), VEILOR_E_HANDLE);
    EXPECT_EQ(EXPORT(veilor_release)(released), VEILOR_E_HANDLE);
    for (unsigned char byte : foreign) {
        ASSERT_EQ(byte, 0);
    }
}

TEST_F(LibraryTest, ErrorsComeBackAsNumberAndTextInTheCallersStruct) {
    veilor* control = Create();
    veilor_error error{};
    std::memset(error.description, 'x', sizeof error.description);
    EXPECT_EQ(EXPORT(veilor_encrypt)(control, "123456789", "a", "b", &error), VEILOR_E_EXCEPTION);
    EXPECT_EQ(error.number, 64102);
    EXPECT_STREQ(error.description, "Password must be less than 8 characters");
    EXPECT_EQ(EXPORT(veilor_encrypt)(control, nullptr, "a", "b", &error), VEILOR_E_EXCEPTION);
    EXPECT_EQ(error.number, 64301);
    EXPECT_EQ(EXPORT(veilor_decrypt)(control, "abc", environment.Path("none").c_str(), "b", &error),
              VEILOR_E_EXCEPTION);
    EXPECT_STREQ(error.description, "File Not Found.");
    // Without a struct the result alone tells of the failure.
    EXPECT_EQ(EXPORT(veilor_encrypt)(control, "", "a", "b", nullptr), VEILOR_E_EXCEPTION);
    test::WriteFile(environment.Path("p"), "x");
    EXPECT_EQ(EXPORT(veilor_encrypt)(control, "abc", environment.Path("p").c_str(),
                                     environment.Path("q").c_str(), &error),
              VEILOR_S_OK);
    EXPECT_EQ(error.number, 0);
    EXPECT_STREQ(error.description, "");
    EXPECT_EQ(EXPORT(veilor_release)(control), VEILOR_S_OK);
}

TEST_F(LibraryTest, UnloadingIsAllowedOnlyWhenNothingIsAlive) {
    veilor_class_factory* factory = nullptr;
    ASSERT_EQ(
        EXPORT(DllGetClassObject)(VEILOR64_CLSID_VEILOR, VEILOR64_IID_ICLASSFACTORY, &factory),
        VEILOR_S_OK);
    EXPECT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_FALSE);
    EXPECT_EQ(EXPORT(veilor_class_factory_lock_server)(factory, 1), VEILOR_S_OK);
    veilor* instance = nullptr;
    ASSERT_EQ(EXPORT(veilor_class_factory_create_instance)(factory, &instance), VEILOR_S_OK);
    EXPECT_EQ(EXPORT(veilor_class_factory_release)(factory), VEILOR_S_OK);
    EXPECT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_FALSE);
    EXPECT_EQ(EXPORT(veilor_release)(instance), VEILOR_S_OK);
    // The server lock still holds the library.
    EXPECT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_FALSE);
    ASSERT_EQ(
        EXPORT(DllGetClassObject)(VEILOR64_CLSID_VEILOR, VEILOR64_IID_ICLASSFACTORY, &factory),
        VEILOR_S_OK);
    EXPECT_EQ(EXPORT(veilor_class_factory_lock_server)(factory, 0), VEILOR_S_OK);
    EXPECT_EQ(EXPORT(veilor_class_factory_release)(factory), VEILOR_S_OK);
    EXPECT_EQ(EXPORT(DllCanUnloadNow)(), VEILOR_S_OK);
}

// What the progress handler of one test does at each point.
struct HandlerContext {
    const LoadedLibrary* library = nullptr;
    veilor* instance = nullptr;
    std::vector<std::string> captions;
    std::vector<bool> windowShown;
    std::int32_t nestedNumber = 0;
    bool release = false;
};

void OnProgress(void* context, uint64_t /*position*/, uint64_t /*total*/, int32_t /*percent*/,
                const char* caption) {
    auto& state = *static_cast<HandlerContext*>(context);
    const LoadedLibrary& library = *state.library;
    state.captions.emplace_back(caption);
    bool shown = false;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        shown = shown || (widget->objectName() == "frmStatusBar" && widget->isVisible() &&
                          widget->findChild<QLabel*>("lblCaption") != nullptr);
    }
    state.windowShown.push_back(shown);
    veilor_error error{};
    if (EXPORT(veilor_encrypt)(state.instance, "x", "y", "z", &error) == VEILOR_E_EXCEPTION) {
        state.nestedNumber = error.number;
    }
    if (state.release) {
        state.release = false;
        EXPECT_EQ(EXPORT(veilor_release)(state.instance), VEILOR_S_OK);
    }
}

TEST_F(LibraryTest, ProgressReachesTheHostWhileTheWindowIsUp) {
    test::WriteFile(environment.Path("big"), std::string(14336, 'b'));
    veilor* control = Create();
    HandlerContext state;
    state.library = &library;
    state.instance = control;
    ASSERT_EQ(EXPORT(veilor_set_progress_handler)(control, &OnProgress, &state), VEILOR_S_OK);
    veilor_error error{};
    ASSERT_EQ(EXPORT(veilor_encrypt)(control, "abc", environment.Path("big").c_str(),
                                     environment.Path("big.kdf").c_str(), &error),
              VEILOR_S_OK)
        << error.description;
    EXPECT_EQ(state.captions, (std::vector<std::string>{"50% Complete - (7KB / 14KB )",
                                                        "100% Complete - (14KB / 14KB )"}));
    EXPECT_EQ(state.windowShown, (std::vector<bool>{true, true}));
    EXPECT_EQ(state.nestedNumber, 5);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_NE(widget->objectName(), "frmStatusBar") << "window left behind";
    }

    // Released from inside its own operation: it finishes, then it is freed.
    state.release = true;
    state.captions.clear();
    ASSERT_EQ(EXPORT(veilor_decrypt)(control, "abc", environment.Path("big.kdf").c_str(),
                                     environment.Path("back").c_str(), &error),
              VEILOR_S_OK)
        << error.description;
    EXPECT_EQ(state.captions.size(), 2u);
    EXPECT_EQ(test::ReadFile(environment.Path("back")), std::string(14336, 'b'));
    EXPECT_EQ(EXPORT(veilor_set_progress_handler)(control, nullptr, nullptr), VEILOR_E_HANDLE);
}

TEST_F(LibraryTest, VersionIsOneDotZero) {
    std::int32_t major = 0;
    std::int32_t minor = -1;
    EXPECT_STREQ(EXPORT(veilor64_version)(&major, &minor), "1.0");
    EXPECT_EQ(major, VEILOR64_VERSION_MAJOR);
    EXPECT_EQ(minor, VEILOR64_VERSION_MINOR);
}

}  // namespace
}  // namespace orvelle::veilor64
