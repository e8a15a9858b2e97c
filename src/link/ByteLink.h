#pragma once

#include "core/UserPrompt.h"
#include "link/BoxCommands.h"
#include "link/Transport.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontvex {

// Thrown when the box stops answering or a byte cannot be written. The link has
// already told the user and gone offline; the running command unwinds (its
// supplies-off guard then sends nothing) and the program keeps its buffer.
class LinkLost : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes between the program and the box: the transport, the Connected
// flag that gates every byte, the queue of bytes not yet written and the
// replies owed by the box. It knows no command but the long ones, which it
// must wait behind.
class ByteLink {
public:
    ByteLink() = default;
    ~ByteLink();
    ByteLink(const ByteLink&) = delete;
    ByteLink& operator=(const ByteLink&) = delete;

    void setPrompt(UserPrompt* prompt) { prompt_ = prompt; }
    UserPrompt* prompt() const { return prompt_; }
    // Shows a text to the user, when somebody listens.
    void tell(const std::string& text) const;

    bool Connected() const { return connected_; }
    Transport* transport() const { return transport_.get(); }
    // Online on a transport whose box has answered: every byte goes to it now.
    void goOnline(std::unique_ptr<Transport> transport);
    // Offline, transport dropped, queues emptied; nothing more is sent.
    void goOffline();

    // --- primitives ---------------------------------------------------------
    void SendByte(uint8_t value);
    uint8_t ReceiveByte();
    void LinkDelay(int n);
    // Hands a run of bytes to the port in one write (page-write families).
    void BlockWrite(const uint8_t* data, size_t n);
    // Sends whatever is queued; called before every read, before any wait on the
    // user and at the end of every operation.
    void Flush();
    // Bytes queued for the box and not yet written. Whenever control returns
    // to the user this is false: a queued byte may be the one that takes a
    // supply or a ground off the socket.
    bool HasUnsentBytes() const { return !out_.empty(); }
    size_t UnsentBytes() const { return out_.size(); }
    // Nothing unsent, no reply owed or left uncollected.
    bool Idle() const { return out_.empty() && PendingReplies() == 0; }

    // --- reply pipelining ---------------------------------------------------
    // A loop may queue commands and collect their replies later with
    // ReceiveByte, strictly in the order the commands were queued. The bytes
    // the box receives are the same as for send-then-read; only the waiting
    // moves. Two limits keep a real box safe: at most ReplyWindow() reply
    // bytes are owed at any time, and while the reply of a long firmware
    // command (IsLongCommand, or longCommand = true for a family's own) is
    // owed, at most kBytesBehindLongCommand bytes are sent after it: the busy
    // box holds them in its input buffer. A byte beyond that waits until the
    // oldest long command has answered.
    //
    //   for (i = 0; i < 256; ++i) link.QueueCommand({128}, 1);   // read-ahead
    //   for (i = 0; i < 256; ++i) buf[i] = link.ReceiveByte();   // collect
    //
    // A loop that stops early (Verify, Blank) calls DiscardReplies before it
    // does anything else, so no stale reply is taken for a later command. A
    // send-then-read operation (ReadPort, ReadPin, ...) while replies are
    // still owed would take one of them for its own: it throws LinkMisuse.
    void QueueCommand(std::initializer_list<uint8_t> bytes, int replyBytes, bool longCommand = false);
    void QueueCommand(const uint8_t* bytes, size_t n, int replyBytes, bool longCommand = false);
    // Reads and drops every reply still owed or not yet collected.
    void DiscardReplies();
    // Reply bytes owed by the box plus those read but not yet collected.
    int PendingReplies() const { return static_cast<int>(owed_ + replies_.size()); }
    // At most this many reply bytes outstanding (default 128); 0 turns
    // pipelining into send-then-read. A USB adapter sends 62 reply bytes a
    // packet; with only one packet's worth in flight the line idles while
    // each packet reaches the host and the next commands go out (USB frames
    // are 1 ms), so the default keeps two packets in flight.
    void setReplyWindow(int bytes) { window_ = bytes > 0 ? static_cast<size_t>(bytes) : 0; }
    int ReplyWindow() const { return static_cast<int>(window_); }
    // Firmware commands that keep the box busy for long (blank check, sum,
    // the program commands, page and block writes): the command table's flag.
    static bool IsLongCommand(uint8_t command);
    // Bytes that may follow a long command whose reply is still owed: the
    // box's input buffer less a margin, as the buffer's real size is a guess.
    // A loop that queues blocks of up to this many bytes (address set-up and
    // the command) keeps the next block waiting in the box while it works.
    static constexpr size_t kBytesBehindLongCommand = kBoxInputBuffer - 4;
    // A blocking read of command's reply is about to start: with queued
    // replies still owed that read would take one of theirs, a programming
    // error (LinkMisuse naming the command).
    void requireNoRepliesOwed(uint8_t command) const;

private:
    [[noreturn]] void loseLink(const std::string& message);
    void dropQueues();
    // Waits for long commands' replies until n more bytes may be sent.
    void makeRoom(size_t n);
    void append(const uint8_t* bytes, size_t n);
    void collect(size_t n);
    void countRead(size_t n);

    UserPrompt* prompt_ = nullptr;
    std::unique_ptr<Transport> transport_;
    bool connected_ = false;
    // Bytes queued for the box; written in one piece before any read, before
    // any question to the user and by Flush.
    std::vector<uint8_t> out_;
    // Pipelining: replies owed by the box, replies read ahead of collection
    // and the window.
    size_t owed_ = 0;
    std::deque<uint8_t> replies_;
    size_t window_ = 128;
    // Bytes queued since going online and owed reply bytes read, both
    // counted from the start, and the long commands whose replies are owed,
    // oldest first: where their reply ends and how many bytes had been
    // queued when they were.
    struct OwedLong {
        uint64_t replyEnd;
        uint64_t queuedAt;
    };
    uint64_t queued_ = 0;
    uint64_t repliesRead_ = 0;
    std::deque<OwedLong> owedLongs_;
};

} // namespace pontvex
