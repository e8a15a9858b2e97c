#include "link/ByteLink.h"

#include "link/BoxCommands.h"

#include <algorithm>

namespace pontvex {

namespace {

const char* const kWriteLost = "通信中断(out)！\nПрогр.выключили после инициализ.!";
const char* const kReadLost = "Потеряна связь\nПрогр.выключили после инициализ.!";

constexpr uint8_t kNoOperation = 30;
// Read time-outs of the line: 1000 ms per byte requested plus 1000 ms.
constexpr int timeoutForBytes(size_t n)
{
    return static_cast<int>(1000 * n + 1000);
}
// A long run of queued bytes (a 10000-unit delay, a page of data) goes out
// once this much has piled up, so the box never idles behind a full queue.
constexpr size_t kFlushThreshold = 4096;

} // namespace

ByteLink::~ByteLink()
{
    // Whatever is still queued (a PowerDown at exit) must reach the box; a
    // failure here has nobody left to tell.
    if (connected_ && transport_ && !out_.empty()) {
        transport_->write(out_.data(), out_.size());
    }
}

void ByteLink::tell(const std::string& text) const
{
    if (prompt_) {
        prompt_->showMessage(text);
    }
}

void ByteLink::goOnline(std::unique_ptr<Transport> transport)
{
    dropQueues();
    transport_ = std::move(transport);
    connected_ = transport_ != nullptr;
}

void ByteLink::goOffline()
{
    connected_ = false;
    dropQueues();
    transport_.reset();
}

void ByteLink::dropQueues()
{
    out_.clear();
    replies_.clear();
    owed_ = 0;
    owedLongs_.clear();
}

void ByteLink::loseLink(const std::string& message)
{
    dropQueues();
    connected_ = false;
    tell(message);
    throw LinkLost(message);
}

// --- primitives -------------------------------------------------------------

void ByteLink::SendByte(uint8_t value)
{
    if (!connected_) {
        return;
    }
    makeRoom(1);
    append(&value, 1);
    if (out_.size() >= kFlushThreshold) {
        Flush();
    }
}

uint8_t ByteLink::ReceiveByte()
{
    if (!connected_) {
        return 255;
    }
    if (!replies_.empty()) {
        const uint8_t value = replies_.front();
        replies_.pop_front();
        return value;
    }
    Flush();
    uint8_t value = 0;
    if (transport_->read(&value, 1, timeoutForBytes(1)) != 1) {
        loseLink(kReadLost);
    }
    if (owed_ > 0) {
        countRead(1);
    }
    return value;
}

void ByteLink::LinkDelay(int n)
{
    if (!connected_ || n <= 0) {
        return;
    }
    makeRoom(static_cast<size_t>(n));
    out_.insert(out_.end(), static_cast<size_t>(n), kNoOperation);
    queued_ += static_cast<uint64_t>(n);
    if (out_.size() >= kFlushThreshold) {
        Flush();
    }
}

void ByteLink::BlockWrite(const uint8_t* data, size_t n)
{
    if (!connected_ || n == 0) {
        return;
    }
    makeRoom(n);
    append(data, n);
    Flush();
}

void ByteLink::Flush()
{
    if (out_.empty()) {
        return;
    }
    if (!connected_ || !transport_) {
        out_.clear();
        return;
    }
    const size_t n = out_.size();
    const size_t written = transport_->write(out_.data(), n);
    out_.clear();
    // A short write loses bytes in the middle of the stream: the box can no
    // longer be trusted to be in the state the shadows say.
    if (written != n) {
        loseLink(kWriteLost);
    }
}

// --- reply pipelining -----------------------------------------------------------

bool ByteLink::IsLongCommand(uint8_t command)
{
    const BoxCommand* row = findBoxCommand(command);
    return row && row->longCommand;
}

void ByteLink::requireNoRepliesOwed(uint8_t command) const
{
    if (PendingReplies() > 0) {
        throw LinkMisuse(boxCommandName(command) + " read while " + std::to_string(PendingReplies()) +
                         " queued reply bytes are not collected");
    }
}

void ByteLink::collect(size_t n)
{
    Flush();
    n = std::min(n, owed_);
    while (n > 0) {
        uint8_t chunk[256];
        const size_t want = std::min(n, sizeof chunk);
        const size_t got = transport_->read(chunk, want, timeoutForBytes(want));
        replies_.insert(replies_.end(), chunk, chunk + got);
        countRead(got);
        n -= got;
        if (got < want) {
            loseLink(kReadLost);
        }
    }
}

void ByteLink::countRead(size_t n)
{
    owed_ -= n;
    repliesRead_ += n;
    // A long command's reply in full: the box is past it and reads its input again.
    while (!owedLongs_.empty() && owedLongs_.front().replyEnd <= repliesRead_) {
        owedLongs_.pop_front();
    }
}

void ByteLink::append(const uint8_t* bytes, size_t n)
{
    out_.insert(out_.end(), bytes, bytes + n);
    queued_ += n;
}

void ByteLink::makeRoom(size_t n)
{
    // A busy box does not read its input: everything sent after the oldest
    // long command still owed may sit in its buffer at once. What does not
    // fit waits on our side until that command has answered.
    while (!owedLongs_.empty() && queued_ + n - owedLongs_.front().queuedAt > kBytesBehindLongCommand) {
        collect(static_cast<size_t>(owedLongs_.front().replyEnd - repliesRead_));
    }
}

void ByteLink::QueueCommand(std::initializer_list<uint8_t> bytes, int replyBytes, bool longCommand)
{
    QueueCommand(bytes.begin(), bytes.size(), replyBytes, longCommand);
}

void ByteLink::QueueCommand(const uint8_t* bytes, size_t n, int replyBytes, bool longCommand)
{
    if (n == 0) {
        return;
    }
    // A byte that is no command would make the box skip it and read its
    // operands as commands: fails loudly, online or not.
    const BoxCommand& row = boxCommand(bytes[0]);
    if (!connected_) {
        return;
    }
    const size_t replies = replyBytes > 0 ? static_cast<size_t>(replyBytes) : 0;
    makeRoom(n);
    if (owed_ + replies > window_) {
        collect(owed_ + replies - window_);
    }
    append(bytes, n);
    owed_ += replies;
    if (replies > 0 && (longCommand || row.longCommand)) {
        owedLongs_.push_back({repliesRead_ + owed_, queued_});
    }
    if (out_.size() >= kFlushThreshold) {
        Flush();
    }
}

void ByteLink::DiscardReplies()
{
    if (connected_) {
        collect(owed_);
    }
    replies_.clear();
}

} // namespace pontvex
