#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"

// The smallest power of two not below n; 0 for n <= 0. n above 0x40000000
// (2^30) is reported and gives 0.
int QxNextPowerOf2(int n);

// Hash of a key; the table keeps the low bits (bucket count - 1). Integer
// and pointer keys hash as key >> 8 (arithmetic shift), 8-byte identifiers
// by their first word, strings with QxHashString. Give another functor as
// the H parameter of XHashTable for other key types.
template <class K>
struct XHashFun;

template <>
struct XHashFun<int>
{
    CKDWORD operator()(int key) const { return (CKDWORD) (key >> 8); }
};

template <>
struct XHashFun<CKDWORD>
{
    CKDWORD operator()(CKDWORD key) const { return (CKDWORD) ((int32_t) key >> 8); }
};

template <class P>
struct XHashFun<P*>
{
    CKDWORD operator()(const P* key) const { return (CKDWORD) ((intptr_t) key >> 8); }
};

template <>
struct XHashFun<CKGUID>
{
    CKDWORD operator()(const CKGUID& key) const { return key.d1; }
};

template <>
struct XHashFun<XString>
{
    CKDWORD operator()(const XString& key) const { return QxHashString(key); }
    CKDWORD operator()(const char* key) const { return QxHashString(key); }
};

// Key equality; string keys also compare against C strings (as strcmp).
template <class K>
struct XEqual
{
    bool operator()(const K& a, const K& b) const { return a == b; }
};

template <>
struct XEqual<XString>
{
    bool operator()(const XString& a, const XString& b) const { return a.Compare(b) == 0; }
    bool operator()(const XString& a, const char* b) const { return std::strcmp(a.CStr(), b ? b : "") == 0; }
};

// Chained hash table whose entries live in one array, in insertion order,
// which is the iteration order. The bucket count is a power of two, at least
// 4; the entry array holds 0.75 x the bucket count entries and a full table
// doubles its buckets and rehashes before inserting a new key. Removing a key
// moves the last entry into its place (so iteration order changes then).
// This order decides the order of saved data: keep it.
//
// Entries of plain keys and values are bytes: their array and the buckets
// grow in place (XArray), so that a table of millions of entries is never
// copied whole nor made in fresh memory at each doubling; entries with class
// keys or values (strings) move into a new XClassArray.
//
// T is the value type, K the key type, H the hash functor (key -> CKDWORD),
// Eq the key equality. Iteration: for (it = t.Begin(); it != t.End(); ++it)
// with it.GetKey() and *it (the value); range-for yields the values.
template <class T, class K, class H = XHashFun<K>, class Eq = XEqual<K>>
class XHashTable
{
    static constexpr bool IsStringKey = std::is_same_v<K, XString>;

public:
    struct Entry
    {
        K m_Key{};
        T m_Data{};
        Entry* m_Next = nullptr;
    };

private:
    static constexpr bool PlainEntries = std::is_trivially_copyable_v<Entry>;
    using Pool = std::conditional_t<PlainEntries, XArray<Entry>, XClassArray<Entry>>;

public:
    template <class E, class V>
    class IteratorT
    {
    public:
        IteratorT() = default;
        explicit IteratorT(E* entry) : m_Entry(entry) {}
        template <class E2, class V2>
        IteratorT(const IteratorT<E2, V2>& other) : m_Entry(other.GetEntry())
        {}

        const K& GetKey() const { return m_Entry->m_Key; }
        V& operator*() const { return m_Entry->m_Data; }
        V* operator->() const { return &m_Entry->m_Data; }
        E* GetEntry() const { return m_Entry; }
        IteratorT& operator++()
        {
            ++m_Entry;
            return *this;
        }
        IteratorT operator++(int)
        {
            IteratorT it = *this;
            ++m_Entry;
            return it;
        }
        template <class E2, class V2>
        bool operator==(const IteratorT<E2, V2>& other) const
        {
            return m_Entry == other.GetEntry();
        }
        template <class E2, class V2>
        bool operator!=(const IteratorT<E2, V2>& other) const
        {
            return m_Entry != other.GetEntry();
        }

    private:
        E* m_Entry = nullptr;
    };
    using Iterator = IteratorT<Entry, T>;
    using ConstIterator = IteratorT<const Entry, const T>;

    // QxNextPowerOf2(buckets) buckets, at least 4.
    explicit XHashTable(int buckets = 16) { Init(buckets); }

    XHashTable(const XHashTable& other) { CopyFrom(other); }

    XHashTable(XHashTable&& other) noexcept : m_Buckets(std::move(other.m_Buckets)), m_Pool(std::move(other.m_Pool))
    {
        other.Init(4);
    }

    XHashTable& operator=(const XHashTable& other)
    {
        if (this != &other)
            CopyFrom(other);
        return *this;
    }

    XHashTable& operator=(XHashTable&& other) noexcept
    {
        if (this != &other) {
            m_Buckets.Swap(other.m_Buckets);
            m_Pool.Swap(other.m_Pool);
        }
        return *this;
    }

    int Size() const { return m_Pool.Size(); }
    bool IsEmpty() const { return m_Pool.IsEmpty(); }
    int BucketCount() const { return m_Buckets.Size(); }
    // Entries the table holds before it grows (0.75 x the bucket count).
    int Capacity() const { return m_Pool.Capacity(); }

    Iterator Begin() { return Iterator(m_Pool.Begin()); }
    Iterator End() { return Iterator(m_Pool.End()); }
    ConstIterator Begin() const { return ConstIterator(m_Pool.Begin()); }
    ConstIterator End() const { return ConstIterator(m_Pool.End()); }
    Iterator begin() { return Begin(); }
    Iterator end() { return End(); }
    ConstIterator begin() const { return Begin(); }
    ConstIterator end() const { return End(); }

    // Sets the key's value (overwriting an existing one); the iterator on it.
    Iterator Insert(const K& key, const T& value)
    {
        Entry* e = FindEntry(key);
        if (e) {
            e->m_Data = value;
            return Iterator(e);
        }
        return Iterator(Append(key, value));
    }

    // As Insert, but an existing entry keeps its value; *created (when given)
    // is TRUE when the entry was made, FALSE when it existed.
    Iterator FindOrInsert(const K& key, const T& value, CKBOOL* created = nullptr)
    {
        Entry* e = FindEntry(key);
        if (created)
            *created = e ? FALSE : TRUE;
        return Iterator(e ? e : Append(key, value));
    }

    // The key's entry, or End(). Tables with XString keys also take a C string
    // wherever they take a key to look up.
    Iterator Find(const K& key) { return Wrap(FindEntry(key)); }
    ConstIterator Find(const K& key) const { return const_cast<XHashTable*>(this)->Find(key); }
    Iterator Find(const char* key) requires IsStringKey { return Wrap(FindEntry(key)); }
    ConstIterator Find(const char* key) const requires IsStringKey { return const_cast<XHashTable*>(this)->Find(key); }

    // The key's value, or null.
    T* FindPtr(const K& key) { return DataOf(FindEntry(key)); }
    const T* FindPtr(const K& key) const { return DataOf(const_cast<XHashTable*>(this)->FindEntry(key)); }
    T* FindPtr(const char* key) requires IsStringKey { return DataOf(FindEntry(key)); }
    const T* FindPtr(const char* key) const requires IsStringKey
    {
        return DataOf(const_cast<XHashTable*>(this)->FindEntry(key));
    }

    bool IsHere(const K& key) const { return const_cast<XHashTable*>(this)->FindEntry(key) != nullptr; }
    bool IsHere(const char* key) const requires IsStringKey
    {
        return const_cast<XHashTable*>(this)->FindEntry(key) != nullptr;
    }

    // The bucket index of a key.
    int Index(const K& key) const { return BucketOf(key); }
    int Index(const char* key) const requires IsStringKey { return BucketOf(key); }

    // Unlinks the key's entry (nothing when absent) and moves the last entry
    // into its slot. TRUE when a key was removed.
    CKBOOL Remove(const K& key) { return RemoveKey(key); }
    CKBOOL Remove(const char* key) requires IsStringKey { return RemoveKey(key); }

    // Empties the table; the storage (and the buffers of string keys) stays.
    void Clear()
    {
        m_Pool.Resize(0);
        std::memset((void*) m_Buckets.Begin(), 0, sizeof(Entry*) * (size_t) m_Buckets.Size());
    }

private:
    Iterator Wrap(Entry* e) { return e ? Iterator(e) : End(); }
    static T* DataOf(Entry* e) { return e ? &e->m_Data : nullptr; }

    template <class LK>
    int BucketOf(const LK& key) const
    {
        return (int) (H()(key) & (CKDWORD) (m_Buckets.Size() - 1));
    }

    template <class LK>
    CKBOOL RemoveKey(const LK& key)
    {
        Entry** link = &m_Buckets.Begin()[BucketOf(key)];
        while (*link && !Eq()((*link)->m_Key, key))
            link = &(*link)->m_Next;
        Entry* removed = *link;
        if (!removed)
            return FALSE;
        *link = removed->m_Next;

        Entry* last = m_Pool.End() - 1;
        if (removed != last) {
            Entry** lastLink = &m_Buckets.Begin()[BucketOf(last->m_Key)];
            while (*lastLink != last)
                lastLink = &(*lastLink)->m_Next;
            removed->m_Key = std::move(last->m_Key);
            removed->m_Data = std::move(last->m_Data);
            removed->m_Next = last->m_Next;
            *lastLink = removed;
        }
        m_Pool.Resize(m_Pool.Size() - 1);
        return TRUE;
    }

    void Init(int buckets)
    {
        int count = QxNextPowerOf2(buckets);
        if (count < 4)
            count = 4;
        m_Buckets.Resize(count);
        std::memset((void*) m_Buckets.Begin(), 0, sizeof(Entry*) * (size_t) count);
        m_Pool.Reserve(count * 3 / 4);
    }

    template <class LK>
    Entry* FindEntry(const LK& key)
    {
        Entry* e = m_Buckets.Begin()[BucketOf(key)];
        while (e && !Eq()(e->m_Key, key))
            e = e->m_Next;
        return e;
    }

    Entry* Append(const K& key, const T& value)
    {
        if (m_Pool.Size() == m_Pool.Capacity()) {
            // The key or value may live in this table: copy them first.
            K keyCopy = key;
            T valueCopy = value;
            Rehash(m_Buckets.Size() * 2);
            return Link(std::move(keyCopy), std::move(valueCopy));
        }
        return Link(key, value);
    }

    template <class KK, class TT>
    Entry* Link(KK&& key, TT&& value)
    {
        m_Pool.Resize(m_Pool.Size() + 1);
        Entry* e = m_Pool.End() - 1;
        e->m_Key = std::forward<KK>(key);
        e->m_Data = std::forward<TT>(value);
        Entry*& head = m_Buckets.Begin()[BucketOf(e->m_Key)];
        e->m_Next = head;
        head = e;
        return e;
    }

    // The entry array regrown in the same order, the buckets regrown and
    // emptied, then every entry, in array order, linked at the head of its
    // bucket (so each chain runs from the newest entry to the oldest).
    void Rehash(int buckets)
    {
        if constexpr (PlainEntries) {
            m_Pool.Reserve(buckets * 3 / 4);
        } else {
            XClassArray<Entry> pool(buckets * 3 / 4);
            pool.Resize(m_Pool.Size());
            Entry* oldBegin = m_Pool.Begin();
            Entry* newBegin = pool.Begin();
            for (int i = 0; i < m_Pool.Size(); ++i) {
                newBegin[i].m_Key = std::move(oldBegin[i].m_Key);
                newBegin[i].m_Data = std::move(oldBegin[i].m_Data);
            }
            m_Pool.Swap(pool);
        }
        m_Buckets.Resize(buckets);
        Entry** heads = m_Buckets.Begin();
        std::memset((void*) heads, 0, sizeof(Entry*) * (size_t) buckets);
        const CKDWORD mask = (CKDWORD) buckets - 1;
        for (Entry* e = m_Pool.Begin(); e != m_Pool.End(); ++e) {
            Entry*& head = heads[H()(e->m_Key) & mask];
            e->m_Next = head;
            head = e;
        }
    }

    // Same buckets, entries and chains as other (links mapped by index).
    void CopyFrom(const XHashTable& other)
    {
        Pool pool(other.m_Pool.Capacity());
        pool.Resize(other.m_Pool.Size());
        const Entry* srcBegin = other.m_Pool.Begin();
        Entry* dstBegin = pool.Begin();
        auto map = [&](const Entry* e) { return e ? dstBegin + (e - srcBegin) : nullptr; };
        for (int i = 0; i < other.m_Pool.Size(); ++i) {
            dstBegin[i].m_Key = srcBegin[i].m_Key;
            dstBegin[i].m_Data = srcBegin[i].m_Data;
            dstBegin[i].m_Next = map(srcBegin[i].m_Next);
        }
        XArray<Entry*> heads(other.m_Buckets.Size());
        for (const Entry* head : other.m_Buckets)
            heads.PushBack(map(head));
        m_Pool.Swap(pool);
        m_Buckets.Swap(heads);
    }

    XArray<Entry*> m_Buckets;
    Pool m_Pool;
};
