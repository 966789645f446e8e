// MPEG audio files: the tags at either end left out, the frames between them decoded through the
// compression manager without the encoder's and decoder's extra samples.
#include <windows.h>

#include <algorithm>

#include "audio/acm_source.h"
#include "audio/decoders.h"

namespace {

// A byte range of a file, read front to back.
class FileRangeInput : public ByteInput {
public:
    FileRangeInput() = default;
    ~FileRangeInput() override
    {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    FileRangeInput(const FileRangeInput&) = delete;
    FileRangeInput& operator=(const FileRangeInput&) = delete;

    [[nodiscard]] bool Open(const char* path)
    {
        file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size;
        if (file_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(file_, &size)) return false;
        end_ = uint64_t(size.QuadPart);
        return true;
    }
    uint64_t Size() const { return end_; }
    void SetRange(uint64_t begin, uint64_t end)
    {
        position_ = begin;
        end_ = end;
    }
    uint32_t ReadAt(uint64_t offset, void* buffer, uint32_t length)
    {
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(offset);
        DWORD got = 0;
        if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) || !ReadFile(file_, buffer, length, &got, nullptr)) return 0;
        return got;
    }
    uint32_t Read(uint8_t* buffer, uint32_t length) override
    {
        const uint32_t wanted = uint32_t(std::min<uint64_t>(length, end_ - std::min(position_, end_)));
        if (wanted == 0) return 0;
        const uint32_t got = ReadAt(position_, buffer, wanted);
        failed_ = got < wanted;
        position_ += got;
        return got;
    }
    bool ReadFailed() const override { return failed_; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    uint64_t position_ = 0, end_ = 0;
    bool failed_ = false;
};

}  // namespace

ReaderResult OpenMp3Source(const char* path, std::unique_ptr<AudioSource>* source)
{
    auto input = std::make_unique<FileRangeInput>();
    auto counting = std::make_unique<FileRangeInput>();
    if (!input->Open(path) || !counting->Open(path)) return ReaderResult::kCannotOpenFile;
    const uint64_t size = input->Size();
    // ID3v2 tags, one after another, then the frames up to the tags at the end.
    uint64_t begin = 0;
    uint8_t head[kId3v2HeaderBytes];
    for (uint64_t tag = 1; tag > 0 && input->ReadAt(begin, head, sizeof head) == sizeof head; begin += tag)
        tag = Id3v2TagBytes(head, sizeof head);
    if (begin >= size) return ReaderResult::kUnreadableHeader;
    uint8_t tail[kTrailingTagSearch];
    const uint32_t tailBytes = uint32_t(std::min<uint64_t>(sizeof tail, size - begin));
    if (input->ReadAt(size - tailBytes, tail, tailBytes) != tailBytes) return ReaderResult::kUnreadableHeader;
    const uint64_t end = size - TrailingTagBytes(tail, tailBytes, size - tailBytes - begin);
    input->SetRange(begin, end);
    counting->SetRange(begin, end);

    MpegStreamOptions options;
    options.container = "MPEG";
    options.gapless = true;
    options.countingInput = counting.get();
    options.streamBytes = end - begin;
    return OpenMpegStream(std::move(input), options, source);
}
