#pragma once
// Backends for facilities a platform (or a run without a sandbox) does not have: every call
// fails as the Windows call fails when the facility is missing or access is denied.
#include "Platform.h"

namespace cv {

class TUnavailableServiceManager : public IServiceManager {
public:
    std::unique_ptr<IServiceManagerHandle> Open(uint32_t access) override;
    uint32_t LastError() const override;
};

class TUnavailableRegistry : public IRegistry {
public:
    std::unique_ptr<IRegistryKey> OpenKey(const std::string&, uint32_t) override { return {}; }
    std::unique_ptr<IRegistryKey> CreateKey(const std::string&, uint32_t) override { return {}; }
    bool KeyExists(const std::string&, uint32_t) override { return false; }
};

class TUnavailableCertificateStore : public ICertificateStore {
public:
    std::unique_ptr<ICertStoreHandle> OpenSystemStore(const std::string&) override { return {}; }
    std::unique_ptr<IKeyContainer> AcquireContext(const std::string&, const std::string&, uint32_t,
                                                  uint32_t) override {
        return {};
    }
    bool EncodeName(const std::string&, std::vector<uint8_t>&) override { return false; }
    bool EncodeAltNames(const std::vector<TAltName>&, std::vector<uint8_t>&) override {
        return false;
    }
    bool EncodeBasicConstraints(bool, bool, uint32_t, std::vector<uint8_t>&) override {
        return false;
    }
    bool EncodeKeyIdentifier(const std::vector<uint8_t>&, std::vector<uint8_t>&) override {
        return false;
    }
    std::unique_ptr<ICertificate> CreateSelfSigned(const std::vector<uint8_t>&, const TKeyProvInfo&,
                                                   const std::string&, const TSystemTime&,
                                                   const std::vector<TCertExtension>&) override {
        return {};
    }
    std::unique_ptr<ICertificate> CreateFromEncoded(const std::vector<uint8_t>&) override {
        return {};
    }
    uint32_t LastError() const override { return ERROR_ACCESS_DENIED_CODE; }
};

class TUnavailableEventLog : public IEventLog {
public:
    std::unique_ptr<IEventSubscription> Subscribe(const std::string&, const std::string&,
                                                  uint32_t, TCallback) override {
        return {};
    }
    std::unique_ptr<IPublisherMetadata> OpenPublisherMetadata(const std::string&) override {
        return {};
    }
    uint32_t FormatMessageText(IPublisherMetadata&, IEventRecord&, char16_t*, uint32_t,
                           uint32_t& bufferUsed) override {
        bufferUsed = 0;
        return ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND_CODE;
    }
};

class TUnavailableNamedMutex : public INamedMutex {
public:
    bool Exists(const std::string&) override { return false; }
    std::unique_ptr<IHeldMutex> Hold(const std::string&) override { return {}; }
};

class TUnavailableShell : public IShell {
public:
    bool Execute(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
};

class TUnavailableTaskbar : public ITaskbar {
public:
    void Attach(uintptr_t) override {}
    bool ButtonCreated(const void*) override { return false; }
    bool SetOverlay(const TOverlayPicture&, const std::string&) override { return false; }
    bool ClearOverlay() override { return false; }
    void Detach() override {}
};

class TUnavailableTcpClient : public ITcpClient {
public:
    std::unique_ptr<ITcpConnection> Connect(const std::string&, uint16_t) override { return {}; }
};

class TUnavailablePortListeners : public IPortListeners {
public:
    bool Find(uint16_t, std::vector<TPortListener>& out) override {
        out.clear();
        return false;
    }
};

// Fills every empty slot of the bundle with its unavailable backend.
void FillUnavailable(TPlatform& p);

} // namespace cv
