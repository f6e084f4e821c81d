// Index from a 32-bit key to list positions: open addressing with the tail of each key's ring of
// positions, and a successor table that exists only once some key repeats.
#include "catalog/position_index.h"

#include <algorithm>
#include <cassert>

namespace catalog {

namespace {

// Keys are sectors, record numbers and clusters, often consecutive: mix them before masking so
// that runs of keys do not pile up in neighbouring slots.
constexpr std::uint32_t Mix(std::uint32_t key) noexcept
{
    key ^= key >> 16;
    key *= 0x85EBCA6Bu;
    key ^= key >> 13;
    key *= 0xC2B2AE35u;
    key ^= key >> 16;
    return key;
}

constexpr std::size_t kMinSlots = 16;

}  // namespace

std::size_t PositionIndex::SlotFor(std::uint32_t key) const noexcept
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = Mix(key) & mask;
    while (m_slots[i].tail != kNone && m_slots[i].key != key)
        i = (i + 1) & mask;
    return i;
}

void PositionIndex::Grow()
{
    std::vector<Slot> old(m_slots.empty() ? kMinSlots : m_slots.size() * 2, Slot{0, kNone});
    old.swap(m_slots);
    for (const Slot& slot : old) {
        if (slot.tail != kNone)
            m_slots[SlotFor(slot.key)] = slot;
    }
}

void PositionIndex::ReservePositions(std::size_t positions)
{
    positions = std::min<std::size_t>(positions, kNone);
    if (positions > m_next.capacity())
        m_next.reserve(positions);
}

void PositionIndex::Append(std::uint32_t key, std::size_t position)
{
    assert(position < kNone);
    assert(m_lastPosition == kNone || position > m_lastPosition);
    const auto pos = static_cast<std::uint32_t>(position);

    // Load factor at most 3/4.
    if ((m_used + 1) * 4 > m_slots.size() * 3)
        Grow();
    Slot& slot = m_slots[SlotFor(key)];
    if (slot.tail == kNone) {
        slot = Slot{key, pos};
        ++m_used;
    } else {
        const std::uint32_t head = HeadOf(slot.tail);
        if (m_next.size() <= position) {
            const std::size_t wanted = position + 1;
            if (m_next.capacity() < wanted)
                m_next.reserve(wanted + wanted / 2);
            m_next.resize(wanted, kNone);
        }
        m_next[slot.tail] = pos;
        m_next[pos] = head;
        slot.tail = pos;
    }
    m_lastPosition = pos;
}

std::uint32_t PositionIndex::HeadOf(std::uint32_t tail) const noexcept
{
    if (tail < m_next.size() && m_next[tail] != kNone)
        return m_next[tail];
    return tail;
}

PositionIndex::Range PositionIndex::Find(std::uint32_t key) const noexcept
{
    if (m_slots.empty())
        return {};
    const Slot& slot = m_slots[SlotFor(key)];
    if (slot.tail == kNone)
        return {};
    return {&m_next, HeadOf(slot.tail), slot.tail};
}

void PositionIndex::Clear() noexcept
{
    m_slots = {};
    m_next = {};
    m_used = 0;
    m_lastPosition = kNone;
}

void PositionIndex::Reset() noexcept
{
    for (Slot& slot : m_slots)
        slot.tail = kNone;
    m_next.clear();
    m_used = 0;
    m_lastPosition = kNone;
}

std::size_t PositionIndex::MemoryBytes() const noexcept
{
    return m_slots.capacity() * sizeof(Slot) + m_next.capacity() * sizeof(std::uint32_t);
}

}  // namespace catalog
