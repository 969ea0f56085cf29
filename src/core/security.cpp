#include "core/security.h"

namespace {

// A SID is 8 bytes of header and 4 per sub-authority, at most 15 of them.
DWORD SidLength(const BYTE* sid) { return 8u + 4u * sid[1]; }

bool ValidSid(const BYTE* sid, DWORD room) {
    return room >= 8 && sid[0] == SID_REVISION && sid[1] <= 15 && SidLength(sid) <= room;
}

bool SameBytes(const BYTE* a, const BYTE* b, DWORD n) {
    for (DWORD i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

void CopyBytes(BYTE* to, const BYTE* from, DWORD n) {
    for (DWORD i = 0; i < n; ++i) to[i] = from[i];
}

uint32_t ReadWord(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t ReadHalf(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The label SID of a level: S-1-16-level.
void LabelSid(BYTE* out, DWORD level) {
    out[0] = SID_REVISION;
    out[1] = 1;
    for (int i = 2; i < 7; ++i) out[i] = 0;
    out[7] = 16;
    out[8] = static_cast<BYTE>(level);
    out[9] = static_cast<BYTE>(level >> 8);
    out[10] = static_cast<BYTE>(level >> 16);
    out[11] = static_cast<BYTE>(level >> 24);
}

// The level of a label SID, or 0 when it is none.
DWORD LevelOfLabel(const BYTE* sid, DWORD room) {
    if (!ValidSid(sid, room) || sid[1] != 1) return 0;
    for (int i = 2; i < 7; ++i) {
        if (sid[i] != 0) return 0;
    }
    return sid[7] == 16 ? RoundLevel(ReadWord(sid + 8)) : 0;
}

// One ACL holding one ACE of `type` with `mask` for `sid`.
void OneAceAcl(uint32_t* storage, BYTE type, DWORD mask, const BYTE* sid) {
    BYTE* acl = reinterpret_cast<BYTE*>(storage);
    const DWORD sidLength = SidLength(sid);
    const WORD aceSize = static_cast<WORD>(8 + sidLength);
    const WORD aclSize = static_cast<WORD>(8 + aceSize);
    ACL* header = reinterpret_cast<ACL*>(acl);
    header->AclRevision = ACL_REVISION;
    header->Sbz1 = 0;
    header->AclSize = aclSize;
    header->AceCount = 1;
    header->Sbz2 = 0;
    ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(acl + 8);
    ace->Header.AceType = type;
    ace->Header.AceFlags = 0;
    ace->Header.AceSize = aceSize;
    ace->Mask = mask;
    CopyBytes(reinterpret_cast<BYTE*>(&ace->SidStart), sid, sidLength);
}

// Writes an unsigned number in decimal; returns the new position, or -1
// when it does not fit.
int PutNumber(char* out, int at, int size, uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (at + n >= size) return -1;
    while (n > 0) out[at++] = digits[--n];
    return at;
}

int PutText(char* out, int at, int size, const char* text) {
    for (; *text != '\0'; ++text) {
        if (at + 1 >= size) return -1;
        out[at++] = *text;
    }
    return at;
}

}  // namespace

DWORD RoundLevel(DWORD rid) {
    if (rid < kLevelMedium) return kLevelLow;
    if (rid < kLevelHigh) return kLevelMedium;
    if (rid < kLevelSystem) return kLevelHigh;
    return kLevelSystem;
}

bool ReadIdentity(Identity* who) {
    who->userLength = 0;
    who->level = 0;
    HANDLE token = nullptr;
    if (!os::OpenProcessToken(os::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    // Room for the record and the SID it points into.
    union {
        TOKEN_USER user;
        TOKEN_MANDATORY_LABEL label;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE + 8];
    } buffer;
    DWORD size = 0;
    bool ok = false;
    if (os::GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size)) {
        const BYTE* sid = static_cast<const BYTE*>(buffer.user.User.Sid);
        if (sid != nullptr && ValidSid(sid, SECURITY_MAX_SID_SIZE)) {
            who->userLength = SidLength(sid);
            CopyBytes(who->user, sid, who->userLength);
            ok = true;
        }
    }
    if (ok && os::GetTokenInformation(token, TokenIntegrityLevel, &buffer, sizeof buffer, &size)) {
        const BYTE* sid = static_cast<const BYTE*>(buffer.label.Label.Sid);
        who->level = sid != nullptr ? LevelOfLabel(sid, SECURITY_MAX_SID_SIZE) : 0;
    }
    os::CloseHandle(token);
    return ok && who->level != 0;
}

bool FormatObjectName(char* out, int size, const char* prefix, const Identity& who, DWORD level) {
    if (size <= 0) return false;
    const BYTE* sid = who.user;
    int at = PutText(out, 0, size, prefix);
    if (at >= 0) at = PutText(out, at, size, "S-1-");
    // The authority: six bytes, big-endian.
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
    if (at >= 0) at = PutNumber(out, at, size, authority);
    for (int i = 0; i < sid[1] && at >= 0; ++i) {
        at = PutText(out, at, size, "-");
        if (at >= 0) at = PutNumber(out, at, size, ReadWord(sid + 8 + 4 * i));
    }
    if (at >= 0) at = PutText(out, at, size, ".");
    static const char hex[] = "0123456789abcdef";
    for (int shift = 12; shift >= 0 && at >= 0; shift -= 4) {
        if (at + 1 >= size) {
            at = -1;
        } else {
            out[at++] = hex[(level >> shift) & 0xF];
        }
    }
    if (at < 0) {
        out[0] = '\0';
        return false;
    }
    out[at] = '\0';
    return true;
}

void BuildSecurity(ObjectSecurity* out, const Identity& who, DWORD access, DWORD level) {
    OneAceAcl(out->dacl, ACCESS_ALLOWED_ACE_TYPE, access, who.user);
    SECURITY_DESCRIPTOR& d = out->descriptor;
    d.Revision = SECURITY_DESCRIPTOR_REVISION;
    d.Sbz1 = 0;
    d.Control = SE_DACL_PRESENT;
    d.Owner = const_cast<BYTE*>(who.user);
    d.Group = nullptr;
    d.Dacl = reinterpret_cast<PACL>(out->dacl);
    d.Sacl = nullptr;
    if (level != 0) {
        BYTE label[12];
        LabelSid(label, level);
        OneAceAcl(out->sacl, SYSTEM_MANDATORY_LABEL_ACE_TYPE,
                  SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP |
                      SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP,
                  label);
        d.Control |= SE_SACL_PRESENT;
        d.Sacl = reinterpret_cast<PACL>(out->sacl);
    }
    out->attributes.nLength = sizeof out->attributes;
    out->attributes.lpSecurityDescriptor = &d;
    out->attributes.bInheritHandle = FALSE;
}

bool OwnedAndLabelled(HANDLE object, const Identity& who, DWORD level) {
    uint32_t storage[128];
    BYTE* sd = reinterpret_cast<BYTE*>(storage);
    DWORD needed = 0;
    if (!os::GetKernelObjectSecurity(object, OWNER_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, sd,
                                     sizeof storage, &needed)) {
        return false;
    }
    const DWORD size = needed != 0 && needed < sizeof storage ? needed : sizeof storage;
    if (size < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || sd[0] != SECURITY_DESCRIPTOR_REVISION) return false;
    const WORD control = ReadHalf(sd + 2);
    if ((control & SE_SELF_RELATIVE) == 0) return false;
    // The owner: the user, byte for byte.
    const DWORD owner = ReadWord(sd + 4);
    if (owner == 0 || owner >= size || !ValidSid(sd + owner, size - owner) ||
        SidLength(sd + owner) != who.userLength || !SameBytes(sd + owner, who.user, who.userLength)) {
        return false;
    }
    // The label: the first mandatory-label ACE of the SACL; none is medium.
    DWORD found = kLevelMedium;
    const DWORD sacl = ReadWord(sd + 12);
    if ((control & SE_SACL_PRESENT) != 0 && sacl != 0) {
        if (sacl + 8 > size) return false;
        const DWORD aclEnd = sacl + ReadHalf(sd + sacl + 2);
        const DWORD end = aclEnd < size ? aclEnd : size;
        const WORD count = ReadHalf(sd + sacl + 4);
        DWORD at = sacl + 8;
        for (WORD i = 0; i < count && at + 8 <= end; ++i) {
            const WORD aceSize = ReadHalf(sd + at + 2);
            if (aceSize < 8 || at + aceSize > end) return false;
            if (sd[at] == SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
                found = LevelOfLabel(sd + at + 8, aceSize - 8u);
                break;
            }
            at += aceSize;
        }
    }
    return found == level;
}
