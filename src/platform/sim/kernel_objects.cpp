// Named kernel objects of the simulated desktop (file mappings, mutexes),
// process tokens and object security, as Windows documents them:
// - "Local\" names are per logon session, "Global\" ones for the machine;
// - an object created with a security descriptor takes its owner, DACL and
//   mandatory label from it; without one, the creator's defaults: owner
//   and DACL its user's, or the Administrators group's for an elevated
//   process, and no label (which counts as medium);
// - opening an existing object needs the DACL to allow the caller, and a
//   label no higher than the caller's level for writing (no-write-up);
// - an object goes when its last handle and view go; a mutex whose holder
//   ended is abandoned, and the next wait takes it with WAIT_ABANDONED.
#include "platform/os.h"
#include "platform/sim/desktop.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using sim::desktop;

void Called(const char* name) { desktop().Called(name); }

const char kSystem[] = "S-1-5-18";

// "S-1-5-21-1-2-3" from a binary SID; "" when it is not one.
std::string SidText(const BYTE* sid, size_t room) {
    if (sid == nullptr || room < 8 || sid[0] != 1 || sid[1] > 15 || 8u + 4u * sid[1] > room) return "";
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
    std::string out = "S-1-" + std::to_string(authority);
    for (int i = 0; i < sid[1]; ++i) {
        uint32_t part;
        std::memcpy(&part, sid + 8 + 4 * i, 4);
        out += "-" + std::to_string(part);
    }
    return out;
}

std::vector<BYTE> SidBytes(const std::string& text) {
    std::vector<BYTE> out(8, 0);
    out[0] = 1;
    std::vector<uint64_t> parts;
    size_t at = 4;  // after "S-1-"
    while (at <= text.size()) {
        const size_t dash = text.find('-', at);
        parts.push_back(std::strtoull(text.substr(at, dash - at).c_str(), nullptr, 10));
        if (dash == std::string::npos) break;
        at = dash + 1;
    }
    const uint64_t authority = parts.empty() ? 0 : parts[0];
    for (int i = 0; i < 6; ++i) out[2 + i] = static_cast<BYTE>(authority >> (8 * (5 - i)));
    out[1] = static_cast<BYTE>(parts.size() - 1);
    for (size_t i = 1; i < parts.size(); ++i) {
        const uint32_t part = static_cast<uint32_t>(parts[i]);
        const BYTE* b = reinterpret_cast<const BYTE*>(&part);
        out.insert(out.end(), b, b + 4);
    }
    return out;
}

// The ACEs of an ACL: (type, mask, SID text).
struct Ace {
    BYTE type;
    DWORD mask;
    std::string sid;
};
std::vector<Ace> AcesOf(const ACL* acl) {
    std::vector<Ace> out;
    if (acl == nullptr) return out;
    const BYTE* base = reinterpret_cast<const BYTE*>(acl);
    size_t at = 8;
    for (int i = 0; i < acl->AceCount && at + 8 <= acl->AclSize; ++i) {
        const ACE_HEADER* h = reinterpret_cast<const ACE_HEADER*>(base + at);
        if (h->AceSize < 8 || at + h->AceSize > acl->AclSize) break;
        DWORD mask;
        std::memcpy(&mask, base + at + 4, 4);
        out.push_back({h->AceType, mask, SidText(base + at + 8, h->AceSize - 8u)});
        at += h->AceSize;
    }
    return out;
}

// Takes owner, DACL and label from a creator's descriptor, or its defaults.
// False when the label asked for is above the creator's level.
bool ApplySecurity(sim::KernelObject& object, const SECURITY_ATTRIBUTES* attributes, const sim::Process& creator) {
    const bool elevated = creator.elevated;
    object.owner = elevated ? sim::kAdministrators : creator.user;
    object.allowed = {elevated ? std::string(sim::kAdministrators) : creator.user, kSystem};
    object.label = creator.integrity < 0x2000 ? creator.integrity : 0;
    object.labelPolicy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
    const SECURITY_DESCRIPTOR* sd =
        attributes != nullptr ? static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor) : nullptr;
    if (sd == nullptr) return true;
    if (sd->Owner != nullptr) object.owner = SidText(static_cast<const BYTE*>(sd->Owner), SECURITY_MAX_SID_SIZE);
    if ((sd->Control & SE_DACL_PRESENT) != 0 && sd->Dacl != nullptr) {
        object.allowed.clear();
        for (const Ace& a : AcesOf(sd->Dacl)) {
            if (a.type == ACCESS_ALLOWED_ACE_TYPE) object.allowed.insert(a.sid);
        }
    }
    if ((sd->Control & SE_SACL_PRESENT) != 0) {
        for (const Ace& a : AcesOf(sd->Sacl)) {
            if (a.type != SYSTEM_MANDATORY_LABEL_ACE_TYPE || a.sid.rfind("S-1-16-", 0) != 0) continue;
            const DWORD level = static_cast<DWORD>(std::strtoul(a.sid.c_str() + 7, nullptr, 10));
            if (level > creator.integrity) return false;
            object.label = level;
            object.labelPolicy = a.mask;
        }
    }
    return true;
}

HANDLE NewHandle(sim::Desktop::KernelHandle::Kind kind, const std::string& key) {
    sim::Desktop& d = desktop();
    const HANDLE h = reinterpret_cast<HANDLE>(d.nextHandle += 4);
    d.handles[h] = {kind, key, d.CurrentProcess()};
    return h;
}

// Creates or opens a named object of a table.
HANDLE CreateNamed(std::map<std::string, sim::KernelObject>& table, sim::Desktop::KernelHandle::Kind kind,
                   const SECURITY_ATTRIBUTES* attributes, LPCSTR name, bool* created) {
    sim::Desktop& d = desktop();
    const std::string key = d.ObjectKey(name);
    auto it = table.find(key);
    if (it != table.end()) {
        if (!d.MayOpen(it->second, true)) {
            d.lastError = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        ++it->second.references;
        d.lastError = ERROR_ALREADY_EXISTS;
        *created = false;
        return NewHandle(kind, key);
    }
    sim::KernelObject object;
    if (!ApplySecurity(object, attributes, d.P(d.CurrentProcess()))) {
        d.lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    object.references = 1;
    table[key] = object;
    d.lastError = ERROR_SUCCESS;
    *created = true;
    return NewHandle(kind, key);
}

sim::Desktop::KernelHandle* Find(HANDLE h, sim::Desktop::KernelHandle::Kind kind) {
    sim::Desktop& d = desktop();
    auto it = d.handles.find(h);
    if (it == d.handles.end() || it->second.kind != kind || it->second.process != d.CurrentProcess()) return nullptr;
    return &it->second;
}

}  // namespace

namespace sim {

std::string Desktop::ObjectKey(const std::string& name) const {
    if (name.rfind("Global\\", 0) == 0) return "Global\\" + name.substr(7);
    const std::string local = name.rfind("Local\\", 0) == 0 ? name.substr(6) : name;
    return "Session" + std::to_string(processes_.at(current_).session) + "\\" + local;
}

bool Desktop::MayOpen(const KernelObject& object, bool write) const {
    const Process& p = processes_.at(current_);
    const bool allowed = object.allowed.count(p.user) != 0 || (p.elevated && object.allowed.count(kAdministrators) != 0);
    if (!allowed) return false;
    const DWORD label = object.label != 0 ? object.label : 0x2000;
    if (p.integrity >= label) return true;
    const DWORD policy = write ? SYSTEM_MANDATORY_LABEL_NO_WRITE_UP : SYSTEM_MANDATORY_LABEL_NO_READ_UP;
    return (object.labelPolicy & policy) == 0;
}

void Desktop::Release(std::map<std::string, KernelObject>& table, const std::string& key) {
    auto it = table.find(key);
    if (it != table.end() && --it->second.references <= 0) table.erase(it);
}

}  // namespace sim

namespace os {

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, LPCSTR name) {
    Called(__func__);
    auto& d = desktop();
    if (file != INVALID_HANDLE_VALUE || protect != PAGE_READWRITE || sizeHigh != 0 || name == nullptr ||
        d.mappingRefused.count(d.CurrentProcess()) != 0) {
        d.lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    bool created = false;
    const HANDLE h = CreateNamed(d.mappings, sim::Desktop::KernelHandle::kMapping, security, name, &created);
    // An existing mapping keeps its size, as on Windows.
    if (h != nullptr && created) d.mappings[d.handles[h].key].data.assign((sizeLow + 7) / 8, 0);
    return h;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
    Called(__func__);
    auto& d = desktop();
    const sim::Desktop::KernelHandle* h = Find(mapping, sim::Desktop::KernelHandle::kMapping);
    if (h == nullptr || access != FILE_MAP_ALL_ACCESS || offsetHigh != 0 || offsetLow != 0) return nullptr;
    sim::KernelObject& object = d.mappings[h->key];
    if (bytes > object.data.size() * 8) return nullptr;
    ++object.references;
    d.views[object.data.data()] = {h->key, d.CurrentProcess()};
    return object.data.data();
}

BOOL UnmapViewOfFile(const void* view) {
    Called(__func__);
    auto& d = desktop();
    auto it = d.views.find(view);
    if (it == d.views.end()) return FALSE;
    const std::string key = it->second.first;
    d.views.erase(it);
    d.Release(d.mappings, key);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    Called(__func__);
    auto& d = desktop();
    auto it = d.handles.find(handle);
    if (it == d.handles.end()) return FALSE;
    const sim::Desktop::KernelHandle k = it->second;
    d.handles.erase(it);
    if (k.kind == sim::Desktop::KernelHandle::kMapping) d.Release(d.mappings, k.key);
    if (k.kind == sim::Desktop::KernelHandle::kMutex) d.Release(d.mutexes, k.key);
    return TRUE;
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) {
    Called(__func__);
    auto& d = desktop();
    if (name == nullptr) return nullptr;
    bool created = false;
    const HANDLE h = CreateNamed(d.mutexes, sim::Desktop::KernelHandle::kMutex, security, name, &created);
    if (h != nullptr && created && initialOwner) {
        sim::KernelObject& m = d.mutexes[d.handles[h].key];
        m.holder = d.CurrentProcess();
        m.count = 1;
    }
    return h;
}

BOOL ReleaseMutex(HANDLE mutex) {
    Called(__func__);
    auto& d = desktop();
    const sim::Desktop::KernelHandle* h = Find(mutex, sim::Desktop::KernelHandle::kMutex);
    if (h == nullptr) return FALSE;
    sim::KernelObject& m = d.mutexes[h->key];
    if (m.holder != d.CurrentProcess()) return FALSE;
    if (--m.count == 0) m.holder = -1;
    return TRUE;
}

// Mutexes only; the simulated desktop has no one to wait for, so a mutex
// held by another process times out at once, whatever the time-out.
DWORD WaitForSingleObject(HANDLE handle, DWORD) {
    Called(__func__);
    auto& d = desktop();
    const sim::Desktop::KernelHandle* h = Find(handle, sim::Desktop::KernelHandle::kMutex);
    if (h == nullptr) return WAIT_FAILED;
    sim::KernelObject& m = d.mutexes[h->key];
    if (m.holder == d.CurrentProcess()) {
        ++m.count;
        return WAIT_OBJECT_0;
    }
    if (m.holder >= 0) return WAIT_TIMEOUT;
    m.holder = d.CurrentProcess();
    m.count = 1;
    const bool abandoned = m.abandoned;
    m.abandoned = false;
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

HANDLE GetCurrentProcess() {
    Called(__func__);
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

DWORD GetLastError() {
    Called(__func__);
    return desktop().lastError;
}

BOOL OpenProcessToken(HANDLE process, DWORD, PHANDLE token) {
    Called(__func__);
    auto& d = desktop();
    if (process != GetCurrentProcess() || token == nullptr || d.P(d.CurrentProcess()).tokenRefused) return FALSE;
    *token = NewHandle(sim::Desktop::KernelHandle::kToken, "");
    return TRUE;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID buffer, DWORD size, PDWORD returned) {
    Called(__func__);
    auto& d = desktop();
    if (Find(token, sim::Desktop::KernelHandle::kToken) == nullptr) return FALSE;
    const sim::Process& p = d.P(d.CurrentProcess());
    std::vector<BYTE> sid;
    if (kind == TokenUser) {
        sid = SidBytes(p.user);
    } else if (kind == TokenIntegrityLevel) {
        sid = SidBytes("S-1-16-" + std::to_string(p.integrity));
    } else {
        return FALSE;
    }
    const DWORD header = sizeof(SID_AND_ATTRIBUTES);
    const DWORD needed = header + static_cast<DWORD>(sid.size());
    if (returned != nullptr) *returned = needed;
    if (buffer == nullptr || size < needed) {
        d.lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    BYTE* out = static_cast<BYTE*>(buffer);
    std::memcpy(out + header, sid.data(), sid.size());
    SID_AND_ATTRIBUTES* record = static_cast<SID_AND_ATTRIBUTES*>(buffer);
    record->Sid = out + header;
    record->Attributes = 0;
    return TRUE;
}

BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR buffer,
                             DWORD size, LPDWORD needed) {
    Called(__func__);
    auto& d = desktop();
    auto it = d.handles.find(object);
    if (it == d.handles.end() || it->second.kind == sim::Desktop::KernelHandle::kToken) return FALSE;
    auto& table = it->second.kind == sim::Desktop::KernelHandle::kMapping ? d.mappings : d.mutexes;
    const sim::KernelObject& o = table[it->second.key];
    // Self-relative: the header, then the owner, then the SACL with the
    // label's ACE.
    std::vector<BYTE> out(sizeof(SECURITY_DESCRIPTOR_RELATIVE), 0);
    SECURITY_DESCRIPTOR_RELATIVE header{};
    header.Revision = SECURITY_DESCRIPTOR_REVISION;
    header.Control = SE_SELF_RELATIVE;
    if ((requested & OWNER_SECURITY_INFORMATION) != 0) {
        const std::vector<BYTE> owner = SidBytes(o.owner);
        header.Owner = static_cast<DWORD>(out.size());
        out.insert(out.end(), owner.begin(), owner.end());
    }
    if ((requested & LABEL_SECURITY_INFORMATION) != 0 && o.label != 0) {
        const std::vector<BYTE> label = SidBytes("S-1-16-" + std::to_string(o.label));
        const WORD aceSize = static_cast<WORD>(8 + label.size());
        ACL acl{ACL_REVISION, 0, static_cast<WORD>(8 + aceSize), 1, 0};
        header.Control |= SE_SACL_PRESENT;
        header.Sacl = static_cast<DWORD>(out.size());
        const BYTE* a = reinterpret_cast<const BYTE*>(&acl);
        out.insert(out.end(), a, a + 8);
        ACE_HEADER ace{SYSTEM_MANDATORY_LABEL_ACE_TYPE, 0, aceSize};
        const BYTE* h = reinterpret_cast<const BYTE*>(&ace);
        out.insert(out.end(), h, h + 4);
        const BYTE* m = reinterpret_cast<const BYTE*>(&o.labelPolicy);
        out.insert(out.end(), m, m + 4);
        out.insert(out.end(), label.begin(), label.end());
    }
    std::memcpy(out.data(), &header, sizeof header);
    if (needed != nullptr) *needed = static_cast<DWORD>(out.size());
    if (buffer == nullptr || size < out.size()) {
        d.lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::memcpy(buffer, out.data(), out.size());
    return TRUE;
}

}  // namespace os
