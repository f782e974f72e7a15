// Chained hash table of intrusive entries {hash; pNext; ...}: the bucket of a hash is
// hash AND (buckets - 1). Entries come from blocks of 128 that live until clear().
#pragma once

#include <cstring>

#include <cnt/List.h>
#include <td/Assert.h>
#include <td/Types.h>

namespace cnt
{
// T: a record with the fields `td::UINT4 hash` and `T* pNext`, value-initialisable.
// The table owns its entries; pointers to them stay valid until clear() or destruction.
template <typename T, td::UINT4 ENTRIES_PER_BLOCK = 128> class HashList
{
public:
    static constexpr td::UINT4 cMaxBuckets = 1u << 24;

    // nBuckets: a power of two. The table doubles its buckets when it holds more than
    // two entries per bucket, so that chains stay short for documents of many names.
    explicit HashList(td::UINT4 nBuckets) : _nBuckets(nBuckets), _entries(ENTRIES_PER_BLOCK)
    {
        TD_ASSERT(nBuckets > 0 && nBuckets <= cMaxBuckets && (nBuckets & (nBuckets - 1)) == 0);
        _pBuckets = new T*[_nBuckets]();
    }
    HashList(const HashList&) = delete;
    HashList& operator=(const HashList&) = delete;
    ~HashList() { delete[] _pBuckets; }

    static td::UINT4 bucketOf(td::UINT4 hash, td::UINT4 nBuckets) { return hash & (nBuckets - 1); }

    // First entry of the hash, newest first, for which equal(entry) holds; null when none.
    template <typename Equal> T* find(td::UINT4 hash, Equal&& equal) const
    {
        for (T* p = _pBuckets[bucketOf(hash, _nBuckets)]; p; p = p->pNext)
            if (p->hash == hash && equal(*p))
                return p;
        return nullptr;
    }

    // A new value-initialised entry with the hash, put at the head of its bucket.
    T* add(td::UINT4 hash)
    {
        if (_size >= 2 * _nBuckets && _nBuckets < cMaxBuckets)
            rehash(2 * _nBuckets);
        T* p = _entries.alloc();
        *p = T{};
        p->hash = hash;
        T*& head = _pBuckets[bucketOf(hash, _nBuckets)];
        p->pNext = head;
        head = p;
        ++_size;
        return p;
    }

    // Empties every bucket; the entry blocks are handed out again.
    void clear()
    {
        std::memset(static_cast<void*>(_pBuckets), 0, sizeof(T*) * _nBuckets);
        _entries.rewind();
        _size = 0;
    }

    td::UINT4 size() const { return _size; }
    td::UINT4 bucketCount() const { return _nBuckets; }

private:
    void rehash(td::UINT4 nBuckets)
    {
        TD_ASSERT(nBuckets > _nBuckets);
        T** pNew = new T*[nBuckets]();
        for (td::UINT4 b = 0; b < _nBuckets; ++b)
        {
            // Walked from the head and pushed at the head: reverse the chain first so that
            // entries keep their newest-first order within a bucket.
            T* pRev = nullptr;
            for (T* p = _pBuckets[b]; p;)
            {
                T* pNext = p->pNext;
                p->pNext = pRev;
                pRev = p;
                p = pNext;
            }
            for (T* p = pRev; p;)
            {
                T* pNext = p->pNext;
                T*& head = pNew[bucketOf(p->hash, nBuckets)];
                p->pNext = head;
                head = p;
                p = pNext;
            }
        }
        delete[] _pBuckets;
        _pBuckets = pNew;
        _nBuckets = nBuckets;
    }

    T** _pBuckets;
    td::UINT4 _nBuckets;
    td::UINT4 _size = 0;
    List<T> _entries;
};
} // namespace cnt
