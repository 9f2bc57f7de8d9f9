#include "live/StatusFile.h"

#include "live/core/EncoderStatus.h"

#include <algorithm>

namespace {

// Below this much free space the status file's drive cannot take the encoder's next lines.
constexpr ULONGLONG kRoomToGrowBytes = 4096;
// Read of the output per look; more is passed over.
constexpr unsigned long long kScanBytes = 64 * 1024;
// The file keeps at most this much of the encoder's first lines (its banner, an early error)
// and this much of what followed; when it has grown past both, the recent part is cut down.
constexpr unsigned long long kHeadBytes = 64 * 1024;
constexpr unsigned long long kRecentBytes = 1024 * 1024;
constexpr unsigned long long kKeptBytes = 256 * 1024;

// Shared in every way, so that the encoder's own handle never keeps it from opening.
HANDLE OpenForReading(const CString& path) {
    return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool MoveTo(HANDLE file, unsigned long long offset) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE;
}

// The claim on the shared file, which accounts other than the one that made it may take too
// (a task running as another user), and the error that creating it met.
HANDLE CreateClaim(DWORD& error) {
    SECURITY_DESCRIPTOR anyone;
    ::InitializeSecurityDescriptor(&anyone, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&anyone, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES security{sizeof security, &anyone, FALSE};
    HANDLE claim = ::CreateMutexA(&security, FALSE, kStatusFileClaim);
    error = ::GetLastError();
    return claim;
}

} // namespace

CStatusFile::CStatusFile() {
    DWORD error = 0;
    m_claim.Attach(CreateClaim(error));
    m_bClaimDenied = !m_claim.IsValid() && error == ERROR_ACCESS_DENIED;
}

// The first installation to start an encoder while no other holds the claim keeps it until it
// ends, so that no two encoders write or judge the same file.
bool CStatusFile::ClaimShared() {
    // Without the claim there is no telling, unless it was refused: the shared file, as ever.
    if (m_bClaimed || !m_claim.IsValid()) return !m_bClaimDenied;
    // Abandoned: an installation that held it has ended.
    const DWORD claim = ::WaitForSingleObject(m_claim.Get(), 0);
    m_bClaimed = claim == WAIT_OBJECT_0 || claim == WAIT_ABANDONED;
    return m_bClaimed;
}

// A shared file this installation cannot open is let go of, for another one that can.
void CStatusFile::ReleaseShared() {
    if (m_bClaimed) ::ReleaseMutex(m_claim.Get());
    m_bClaimed = false;
}

HANDLE CStatusFile::OpenForEncoder(const CString& ownFolder, bool nt, bool& ownFirstUsed) {
    Close();
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    const DWORD share = nt ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                           : FILE_SHARE_READ | FILE_SHARE_WRITE;
    auto open = [&](const CString& path) {
        m_strPath = path;
        m_file.Attach(::CreateFileA(path, GENERIC_WRITE, share, nt ? &security : nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return m_file.IsValid();
    };
    m_bInheritable = nt;
    ownFirstUsed = false;
    if (!ClaimShared() || !open(kStatusFile)) {
        ReleaseShared();
        // Not ours, not creatable, or held without sharing: the installation's own file.
        ::CreateDirectoryA(ownFolder, nullptr);
        ownFirstUsed = open(ownFolder + "\\" + kOwnStatusFileName) && !m_bOwnUsed;
        m_bOwnUsed |= ownFirstUsed;
    }
    // Emptied, so that the file holds this encoder's output only.
    if (m_file.IsValid()) ::SetEndOfFile(m_file.Get());
    return m_file.Get();
}

void CStatusFile::Watch(bool running) {
    // The encoder has its copy; later children must not get one.
    if (m_file.IsValid()) ::SetHandleInformation(m_file.Get(), HANDLE_FLAG_INHERIT, 0);
    // Outside the NT family the handle cannot be inherited: the encoder writes nowhere.
    m_bWatched = running && m_file.IsValid() && m_bInheritable;
    m_nRead = 0;
    m_nHead = 0;
    m_bShortened = false;
}

// The file's size as the reader sees it; the encoder's handle may only write.
bool CStatusFile::Size(unsigned long long& size) {
    if (!m_reader.IsValid()) m_reader.Attach(OpenForReading(m_strPath));
    LARGE_INTEGER value{};
    if (!m_reader.IsValid() || !::GetFileSizeEx(m_reader.Get(), &value)) return false;
    size = static_cast<unsigned long long>(value.QuadPart);
    return true;
}

bool CStatusFile::Read(unsigned long long from, unsigned long long to, std::string& bytes) {
    bytes.resize(static_cast<size_t>(to - from));
    DWORD read = 0;
    const bool ok =
        m_reader.IsValid() && MoveTo(m_reader.Get(), from) &&
        ::ReadFile(m_reader.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(ok ? read : 0);
    return ok;
}

bool CStatusFile::ReadNew(std::string& bytes, unsigned long long& offset, bool& skipped) {
    unsigned long long size = 0;
    if (!m_bWatched || !Size(size)) return false;
    // Shortened under the reader by someone else: read on from its new end.
    if (size < m_nRead) m_nRead = size;
    offset = std::max(m_nRead, size - std::min(size, kScanBytes));
    skipped = offset > m_nRead;
    if (!Read(offset, size, bytes)) return false;
    m_nRead = offset + bytes.size();
    return true;
}

void CStatusFile::Bound(unsigned long long head) {
    unsigned long long size = 0;
    if (!m_bWatched || !Size(size)) return;
    if (!m_bShortened) m_nHead = std::min({head, size, kHeadBytes});
    if (size > m_nHead + kRecentBytes) Shorten(size);
}

// Keeps the encoder's first lines and the last part of the rest, from a line's start. The
// encoder shares the handle's write position, so its next line follows the part kept.
void CStatusFile::Shorten(unsigned long long size) {
    std::string kept;
    if (!Read(size - kKeptBytes, size, kept)) return;
    kept.erase(0, kept.find_first_of("\r\n") + 1);
    DWORD written = 0;
    if (!MoveTo(m_file.Get(), m_nHead) ||
        !::WriteFile(m_file.Get(), kept.data(), static_cast<DWORD>(kept.size()), &written,
                     nullptr) ||
        !::SetEndOfFile(m_file.Get()))
        return;
    m_bShortened = true;
    m_nRead = m_nHead + kept.size();
}

// True when the drive that holds the file has no room left for the encoder's next lines.
bool CStatusFile::DriveFull() const {
    const std::string& text = m_strPath.Text();
    const std::string folder = text.substr(0, text.find_last_of("\\/") + 1);
    ULARGE_INTEGER available{};
    return ::GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr) &&
           available.QuadPart < kRoomToGrowBytes;
}

bool CStatusFile::ReadTail(size_t bytes, std::string& tail, bool& cut) {
    unsigned long long size = 0;
    if (!Size(size)) return false;
    const unsigned long long from = size - std::min<unsigned long long>(size, bytes);
    cut = from > 0;
    return Read(from, size, tail);
}

void CStatusFile::Close() {
    m_bWatched = false;
    m_file.Close();
    m_reader.Close();
}
