// Index from a key to list positions: open addressing with the tail of each key's ring of
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

constexpr std::uint64_t Mix(std::uint64_t key) noexcept
{
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    key *= 0xC4CEB9FE1A85EC53ull;
    key ^= key >> 33;
    return key;
}

constexpr std::size_t kMinSlots = 16;

template <typename Key>
constexpr std::array<std::uint32_t, sizeof(Key) / 4> Words(Key key) noexcept
{
    std::array<std::uint32_t, sizeof(Key) / 4> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint32_t>(key >> (32 * i));
    }
    return words;
}

template <typename Key>
constexpr Key KeyOf(const std::array<std::uint32_t, sizeof(Key) / 4>& words) noexcept
{
    Key key = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        key |= static_cast<Key>(static_cast<Key>(words[i]) << (32 * i));
    }
    return key;
}

}  // namespace

template <typename Key>
std::size_t BasicPositionIndex<Key>::SlotFor(Key key) const noexcept
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = static_cast<std::size_t>(Mix(key)) & mask;
    const auto words = Words(key);
    while (m_slots[i].tail != kNone && m_slots[i].key != words)
        i = (i + 1) & mask;
    return i;
}

template <typename Key>
void BasicPositionIndex<Key>::Grow()
{
    std::vector<Slot> old(m_slots.empty() ? kMinSlots : m_slots.size() * 2, Slot{Words(Key{0}), kNone});
    old.swap(m_slots);
    for (const Slot& slot : old) {
        if (slot.tail != kNone)
            m_slots[SlotFor(KeyOf<Key>(slot.key))] = slot;
    }
}

template <typename Key>
void BasicPositionIndex<Key>::ReservePositions(std::size_t positions)
{
    positions = std::min<std::size_t>(positions, kNone);
    if (positions > m_next.capacity())
        m_next.reserve(positions);
}

template <typename Key>
void BasicPositionIndex<Key>::Append(Key key, std::size_t position)
{
    assert(position < kNone);
    assert(m_lastPosition == kNone || position > m_lastPosition);
    const auto pos = static_cast<std::uint32_t>(position);

    // Load factor at most 3/4.
    if ((m_used + 1) * 4 > m_slots.size() * 3)
        Grow();
    Slot& slot = m_slots[SlotFor(key)];
    if (slot.tail == kNone) {
        slot = Slot{Words(key), pos};
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

template <typename Key>
std::uint32_t BasicPositionIndex<Key>::HeadOf(std::uint32_t tail) const noexcept
{
    if (tail < m_next.size() && m_next[tail] != kNone)
        return m_next[tail];
    return tail;
}

template <typename Key>
typename BasicPositionIndex<Key>::Range BasicPositionIndex<Key>::Find(Key key) const noexcept
{
    if (m_slots.empty())
        return {};
    const Slot& slot = m_slots[SlotFor(key)];
    if (slot.tail == kNone)
        return {};
    return {&m_next, HeadOf(slot.tail), slot.tail};
}

template <typename Key>
void BasicPositionIndex<Key>::Clear() noexcept
{
    m_slots = {};
    m_next = {};
    m_used = 0;
    m_lastPosition = kNone;
}

template <typename Key>
void BasicPositionIndex<Key>::Reset() noexcept
{
    for (Slot& slot : m_slots)
        slot.tail = kNone;
    m_next.clear();
    m_used = 0;
    m_lastPosition = kNone;
}

template <typename Key>
std::size_t BasicPositionIndex<Key>::MemoryBytes() const noexcept
{
    return m_slots.capacity() * sizeof(Slot) + m_next.capacity() * sizeof(std::uint32_t);
}

template class BasicPositionIndex<std::uint32_t>;
template class BasicPositionIndex<std::uint64_t>;

}  // namespace catalog
