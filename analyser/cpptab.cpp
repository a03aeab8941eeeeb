// Symbol table: bucket areas in the order the emitters walk, a name index
// beside them, and the rules for entering and finding declarations.
#include "cpptab.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <type_traits>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "merror.h"
#include "mfmemo.h"
#include "mstrin.h"

// Every record made for a table, with the routine that frees it. Graphs share
// nodes, so freeing by ownership list is the only way to free each once.
// Records of one kind sit side by side in blocks that grow from a few
// records (small tables stay small) to a few thousand.
struct RecordPool {
  std::size_t size = 0;
  void (*destroy)(void *) = nullptr;
  std::vector<char *> blocks;
  std::size_t block_records = 0;  // capacity of the last block
  std::size_t used = 0;           // records taken from the last block
};

// Records of a pool's block b: blocks double from 8 records up to 4096.
std::size_t block_capacity(std::size_t b) { return b >= 9 ? 4096 : std::size_t(8) << b; }

// How far each pool was filled at some moment.
struct ArenaMark {
  struct Fill {
    std::size_t blocks = 0;
    std::size_t used = 0;
  };
  std::vector<Fill> pools;
  std::size_t objects = 0;
  std::size_t shared = 0;
};

struct TableArena {
  std::vector<std::pair<void *, void (*)(void *)>> objects;
  std::vector<RecordPool> pools;  // by slot
  std::vector<void *> shared;     // records every use may share, oldest first
  ArenaMark mark() const {
    ArenaMark m;
    mark_into(m);
    return m;
  }
  // The same in a mark whose list's room is used again.
  void mark_into(ArenaMark &m) const {
    m.objects = objects.size();
    m.shared = shared.size();
    m.pools.clear();
    m.pools.reserve(pools.size());
    for (const RecordPool &p : pools) m.pools.push_back({p.blocks.size(), p.used});
  }
  // Frees every record made since the mark, newest first.
  void roll_back(const ArenaMark &m) {
    if (shared.size() > m.shared) shared.resize(m.shared);
    while (objects.size() > m.objects) {
      objects.back().second(objects.back().first);
      objects.pop_back();
    }
    for (std::size_t i = 0; i < pools.size(); ++i) {
      RecordPool &p = pools[i];
      const ArenaMark::Fill keep = i < m.pools.size() ? m.pools[i] : ArenaMark::Fill();
      // A section (a service's scratch scope) makes records of a few kinds:
      // the pools it took nothing from stay as they are.
      if (p.blocks.size() == keep.blocks && p.used == keep.used) continue;
      while (p.blocks.size() > keep.blocks) {
        if (p.destroy)
          for (std::size_t r = p.used; r-- > 0;) p.destroy(p.blocks.back() + p.size * r);
        ::operator delete(p.blocks.back());
        p.blocks.pop_back();
        p.used = p.blocks.empty() ? 0 : block_capacity(p.blocks.size() - 1);
      }
      if (p.blocks.empty()) {
        p.used = 0;
        p.block_records = 0;
        continue;
      }
      if (p.destroy)
        for (std::size_t r = p.used; r-- > keep.used;) p.destroy(p.blocks.back() + p.size * r);
      p.used = keep.used;
      p.block_records = block_capacity(p.blocks.size() - 1);
    }
  }
  void *allocate(int slot, std::size_t size, void (*destroy)(void *)) {
    if (slot < 0) report_internal(MSG_ERRINTFCT, "table_allocate");
    if (static_cast<std::size_t>(slot) >= pools.size()) pools.resize(static_cast<std::size_t>(slot) + 1);
    RecordPool &p = pools[static_cast<std::size_t>(slot)];
    if (p.size == 0) {
      p.size = size;
      p.destroy = destroy;
    } else if (p.size != size) {
      report_internal(MSG_ERRINTFCT, "table_allocate");
    }
    if (p.blocks.empty() || p.used == p.block_records) {
      const std::size_t n = block_capacity(p.blocks.size());
      p.blocks.push_back(static_cast<char *>(::operator new(n * size)));
      p.block_records = n;
      p.used = 0;
    }
    return p.blocks.back() + size * p.used++;
  }
  ~TableArena() {
    for (auto &o : objects) o.second(o.first);
    for (RecordPool &p : pools) {
      for (std::size_t b = 0; b < p.blocks.size(); ++b) {
        const std::size_t count = b + 1 == p.blocks.size() ? p.used : block_capacity(b);
        if (p.destroy)
          for (std::size_t i = 0; i < count; ++i) p.destroy(p.blocks[b] + p.size * i);
        ::operator delete(p.blocks[b]);
      }
    }
  }
};

namespace {

struct IndexKey {
  int area;
  const void *scope;
  const char *name;  // never empty
  // name_hash_of(name) when the caller has it (one name looked up in
  // several scopes and areas), else 0.
  std::uint64_t name_hash = 0;
};

// The part of a key's hash that depends on the name; never 0.
std::uint64_t name_hash_of(const char *name, std::size_t length) {
  const std::uint64_t x = hash_text_bytes(name, length);
  return x ? x : 1;
}
std::uint64_t name_hash_of(const char *name) { return name_hash_of(name, std::strlen(name)); }

// Entries of one name in one scope in bucket order. Most names have a single
// entry, which is kept in place; only a name with several has a list. The
// index holds one of these per name, so it is one word: the entry, or the
// list with its lowest bit set.
class EntryList {
 public:
  EntryList() = default;
  EntryList(const EntryList &) = delete;
  EntryList &operator=(const EntryList &) = delete;
  EntryList &operator=(EntryList &&o) noexcept {
    std::swap(word_, o.word_);
    return *this;
  }
  ~EntryList() { delete list(); }
  bool empty() const { return word_ == nullptr; }
  Symbol *const *begin() const { return list() ? list()->data() : &word_; }
  Symbol *const *end() const {
    if (std::vector<Symbol *> *l = list()) return l->data() + l->size();
    return &word_ + (word_ ? 1 : 0);
  }
  void push_back(Symbol *s) {
    if (empty()) {
      word_ = s;
      return;
    }
    spill().push_back(s);
  }
  // After every entry that `less` does not put after it.
  template <typename Less> void insert_ordered(Symbol *s, Less less) {
    std::vector<Symbol *> &l = spill();
    l.insert(std::upper_bound(l.begin(), l.end(), s, less), s);
    fold();
  }
  void erase(Symbol *s) {
    std::vector<Symbol *> *l = list();
    if (!l) {
      if (word_ == s) word_ = nullptr;
      return;
    }
    auto i = std::find(l->begin(), l->end(), s);
    if (i != l->end()) l->erase(i);
    fold();
  }

 private:
  static_assert(alignof(Symbol) > 1, "the lowest bit of an entry's address is free");
  std::vector<Symbol *> *list() const {
    const std::uintptr_t w = reinterpret_cast<std::uintptr_t>(word_);
    return w & 1 ? reinterpret_cast<std::vector<Symbol *> *>(w & ~std::uintptr_t(1)) : nullptr;
  }
  std::vector<Symbol *> &spill() {
    if (std::vector<Symbol *> *l = list()) return *l;
    auto *l = new std::vector<Symbol *>();
    if (word_) l->push_back(word_);
    word_ = reinterpret_cast<Symbol *>(reinterpret_cast<std::uintptr_t>(l) | 1);
    return *l;
  }
  void fold() {
    std::vector<Symbol *> *l = list();
    if (!l || l->size() > 1) return;
    word_ = l->empty() ? nullptr : l->front();
    delete l;
  }
  Symbol *word_ = nullptr;  // the entry, or the list with its lowest bit set
};

// The entry lists by name and scope, in one open-addressed array: a lookup
// (most are for names a scope does not hold) reads one or two neighbouring
// slots and no text unless the hashes agree. Slots are placed by linear
// probing from a home slot proportional to the hash, and a deletion shifts
// the followers back, so no slot is ever left as a tombstone.
//
// A file with very many names holds as many slots, so a slot is three
// words: the scope's address shares its word with the area and part of the
// hash (addresses of this process's records leave the top 16 bits clear),
// and the full hash, needed only to place a slot again, is computed anew
// from the name.
class EntryIndex {
 public:
  EntryIndex() = default;
  EntryIndex(const EntryIndex &) = delete;
  EntryIndex &operator=(const EntryIndex &) = delete;
  ~EntryIndex() { delete[] slots_; }

  EntryList *find(const IndexKey &k) {
    if (!count_) return nullptr;
    const std::uint32_t h = hash_of(k);
    const std::uint64_t tag = tag_of(k, h);
    for (std::size_t i = home(h);; i = next(i)) {
      Slot &s = slots_[i];
      if (!s.name) return nullptr;
      if (matches(s, k, tag)) return &s.list;
    }
  }
  // The lists of one name in one scope for the three areas, by area, in one
  // walk: the area is left out of the home slot, so that they all stand in
  // the stretch of slots from that home to the first free one.
  void find_areas(const void *scope, const char *name, std::uint64_t name_hash, EntryList *out[3]) {
    out[0] = out[1] = out[2] = nullptr;
    if (!count_) return;
    const IndexKey k{0, scope, name, name_hash};
    const std::uint32_t h = hash_of(k);
    const std::uint64_t tag = tag_of(k, h);
    constexpr std::uint64_t kAreaBits = std::uint64_t{3} << 62;
    for (std::size_t i = home(h);; i = next(i)) {
      Slot &s = slots_[i];
      if (!s.name) return;
      if ((s.tag & ~kAreaBits) != tag || (s.name != name && std::strcmp(s.name, name) != 0)) continue;
      const std::uint64_t area = s.tag >> 62;
      if (area < 3) out[area] = &s.list;
    }
  }
  // False only when no slot holds the name, in any scope or area. Most names
  // the scanner classifies are being declared and are in no scope yet: one
  // probe answers for the whole walk of the enclosing scopes, their bases and
  // used namespaces.
  bool may_hold(std::uint64_t name_hash) const { return names_.may_hold(name_hash); }
  // Every key with its list, in no particular order: f(area, scope, name, list).
  template <typename F> void for_each(F &&f) const {
    for (std::size_t i = 0; i < capacity_; ++i) {
      const Slot &s = slots_[i];
      if (!s.name) continue;
      const auto scope = reinterpret_cast<const void *>(static_cast<std::uintptr_t>(s.tag & kAddressMask));
      f(static_cast<int>(s.tag >> 62), scope, s.name, s.list);
    }
  }
  // The list of the key, an empty one made when there is none.
  EntryList &at(const IndexKey &k) {
    if ((count_ + 1) * 10 > capacity_ * 8) grow();
    const std::uint64_t name_hash = k.name_hash ? k.name_hash : name_hash_of(k.name);
    const std::uint32_t h = hash_of(k, name_hash);
    const std::uint64_t tag = tag_of(k, h);
    std::size_t i = home(h);
    for (;; i = next(i)) {
      Slot &s = slots_[i];
      if (!s.name) break;
      if (matches(s, k, tag)) return s.list;
    }
    Slot &s = slots_[i];
    s.name = k.name;
    s.tag = tag;
    ++count_;
    if (names_.full()) {
      // Names removed and entered again filled the set: every slot's name,
      // the new one's included, is added again.
      names_.reset(count_);
      for (std::size_t j = 0; j < capacity_; ++j)
        if (slots_[j].name) names_.add(name_hash_of(slots_[j].name));
    } else {
      names_.add(name_hash);
    }
    return s.list;
  }
  void erase(const IndexKey &k) {
    if (!count_) return;
    const std::uint64_t name_hash = k.name_hash ? k.name_hash : name_hash_of(k.name);
    const std::uint32_t h = hash_of(k, name_hash);
    const std::uint64_t tag = tag_of(k, h);
    std::size_t i = home(h);
    for (;; i = next(i)) {
      if (!slots_[i].name) return;
      if (matches(slots_[i], k, tag)) break;
    }
    // Followers whose home lies outside (i, j] move into the hole.
    for (std::size_t j = next(i);; j = next(j)) {
      Slot &f = slots_[j];
      if (!f.name) break;
      const std::size_t hj = home(hash_of_slot(f));
      const bool stays = i <= j ? (i < hj && hj <= j) : (i < hj || hj <= j);
      if (stays) continue;
      move_slot(slots_[i], f);
      i = j;
    }
    Slot &hole = slots_[i];
    hole.name = nullptr;
    hole.tag = 0;
    hole.list = EntryList();
    --count_;
  }

 private:
  struct Slot {
    const char *name = nullptr;  // none: the slot is free
    std::uint64_t tag = 0;       // scope address | area << 62 | hash bits << 48
    EntryList list;
  };
  static_assert(sizeof(void *) != 8 || sizeof(EntryList) == 8, "a slot stays three words");
  static constexpr int kAddressBits = 48;
  static constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << kAddressBits) - 1;

  static std::uint32_t hash_of(const IndexKey &k) {
    return k.name_hash ? hash_of(k, k.name_hash) : hash_of(k, name_hash_of(k.name));
  }
  static std::uint32_t hash_of(const IndexKey &k, std::uint64_t x) {
    // The area is left out: the lists of one name in one scope stand side
    // by side, so that the scanner's look-up of a name in every area reads
    // one stretch of slots.
    x ^= static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(k.scope)) * 0x9e3779b97f4a7c15ULL;
    // Final mixing: the home slot is taken from the high bits.
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return static_cast<std::uint32_t>(x >> 32);
  }
  // The scope, the area (0 to 2) and the low 14 bits of the hash (the home
  // slot comes from the high ones) in one word.
  static std::uint64_t tag_of(const IndexKey &k, std::uint32_t h) {
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(k.scope);
    if ((address & ~kAddressMask) || k.area < 0 || k.area > 3) report_internal(MSG_ERRINTFCT, "table index");
    return address | static_cast<std::uint64_t>(k.area) << 62 | static_cast<std::uint64_t>(h & 0x3fff) << kAddressBits;
  }
  static std::uint32_t hash_of_slot(const Slot &s, std::uint64_t name_hash) {
    IndexKey k{static_cast<int>(s.tag >> 62), reinterpret_cast<const void *>(static_cast<std::uintptr_t>(s.tag & kAddressMask)),
               s.name};
    return hash_of(k, name_hash);
  }
  static std::uint32_t hash_of_slot(const Slot &s) { return hash_of_slot(s, name_hash_of(s.name)); }
  static bool matches(const Slot &s, const IndexKey &k, std::uint64_t tag) {
    return s.tag == tag && (s.name == k.name || std::strcmp(s.name, k.name) == 0);
  }
  static void move_slot(Slot &to, Slot &from) {
    to.name = from.name;
    to.tag = from.tag;
    to.list = std::move(from.list);
  }
  std::size_t home(std::uint32_t h) const {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(h) * capacity_) >> 32);
  }
  std::size_t next(std::size_t i) const { return i + 1 == capacity_ ? 0 : i + 1; }
  // Grows by half, so that the array stays between a half and four fifths
  // full: a slot is one word of tag compared per probe, so a fuller array
  // costs lookups little, and the index of a file with very many names, with
  // the old array beside the new one while it grows, weighs less.
  static std::size_t step_up(std::size_t capacity) { return capacity < 16 ? 16 : capacity + capacity / 2; }
  // Every growth places every name again, hashed anew. A small array takes
  // three steps at once, which spares the many placements of a table's first
  // thousands of names for a few tens of kilobytes; a large one grows a step
  // at a time. The sizes stay those of the steps, so a large array is the
  // same size it would be grown a step at a time.
  static constexpr std::size_t kSmallCapacity = 4096;
  void grow() {
    std::size_t n = step_up(capacity_);
    if (capacity_ < kSmallCapacity) n = step_up(step_up(n));
    grow_to(n);
  }

 public:
  // Room for `names` keys at once, and for half as many again: a table
  // reserved for the names of another (the tested file's, after the
  // script's) adds names of its own, and growing at once past the reserve
  // would place all the reserved ones again.
  void reserve(std::size_t names) {
    const std::size_t wanted = names + names / 2;
    std::size_t n = capacity_;
    while ((wanted + 1) * 10 > n * 8) n = step_up(n);
    if (n != capacity_) grow_to(n);
  }
  std::size_t size() const { return count_; }

 private:
  void grow_to(std::size_t n) {
    const std::size_t old_capacity = capacity_;
    Slot *old = slots_;
    if (n > (std::size_t{1} << 32)) report_internal(MSG_ERRINTFCT, "table index");
    slots_ = new Slot[n];
    capacity_ = n;
    // Room for the names the index holds before it grows again.
    names_.reset(n * 8 / 10);
    for (std::size_t i = 0; i < old_capacity; ++i) {
      Slot &o = old[i];
      if (!o.name) continue;
      const std::uint64_t name_hash = name_hash_of(o.name);
      names_.add(name_hash);
      std::size_t j = home(hash_of_slot(o, name_hash));
      while (slots_[j].name) j = next(j);
      move_slot(slots_[j], o);
    }
    delete[] old;
  }

  Slot *slots_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t count_ = 0;
  // Built again when the index grows, which hashes every name anyway, and
  // should names removed and entered again fill it before that.
  NameHashFilter names_;
};

}  // namespace

// Entries of one name in one scope, in bucket (insertion) order; the node of
// each function scope by its interned name (the lists keep their own order
// for whoever walks them). Each entry counts how often it stands in the
// recorded list, so that removing an entry never recorded costs nothing.
struct TableIndex {
  EntryIndex entries;
  std::unordered_map<const char *, FunctionScopeNode *> function_scopes;
  // Entries of each class or union scope, so that they can follow their
  // scope when a forward declaration is completed.
  std::unordered_map<const void *, std::vector<Symbol *>> by_scope;
  std::uint32_t next_sequence = 1;
  // A scratch section (table_begin_scratch) in progress.
  struct Scratch {
    bool active = false;
    bool kept = false;  // something outside its scope changed: nothing is undone
    const char *name = nullptr;
    FunctionScopeNode *node = nullptr;  // its scope, once made
    std::vector<Symbol *> added;
    ArenaMark mark;
    std::size_t using_namespaces = 0;
    std::size_t using_declarations = 0;
  } scratch;
};

namespace {

template <typename T> T *pooled_new(SymbolTable &t) {
  static_assert(std::is_trivially_destructible<T>::value, "records here have no destructor");
  return new (table_allocate(&t, record_slot<T>(), sizeof(T), nullptr)) T();
}

TableIndex &index_of(SymbolTable &t) {
  if (!t.index) t.index = new TableIndex();
  return *t.index;
}

TableIndex::Scratch *scratch_of(SymbolTable &t) {
  return t.index && t.index->scratch.active ? &t.index->scratch : nullptr;
}

void keep_scratch(SymbolTable &t) {
  if (TableIndex::Scratch *s = scratch_of(t)) s->kept = true;
}

// A scratch section may only add entries to its own scope.
void check_scratch_scope(SymbolTable &t, TypeDesc *scope) {
  TableIndex::Scratch *s = scratch_of(t);
  if (s && (!s->node || scope != canonical_scope(s->node->scope))) s->kept = true;
}

Bucket *area_buckets(SymbolTable &t, int area) {
  switch (area) {
    case AREA_TAG: return t.tags;
    case AREA_ENUMERATOR: return t.enumerators;
    default: return t.ordinary;
  }
}

TypeDesc *decl_scope(const Declaration *d) {
  return d && d->scope_kind ? canonical_scope(d->scope) : nullptr;
}

IndexKey key_of(int area, TypeDesc *scope, const char *name) {
  return IndexKey{area, canonical_scope(scope), name};
}

// name_hash: name_hash_of(name), or 0 when the caller has not made it.
const EntryList *candidates(SymbolTable &t, int area, TypeDesc *scope, const char *name, std::uint64_t name_hash = 0) {
  if (!name || !*name || !t.index) return nullptr;
  // A name no scope holds (most names being declared) is known by the
  // index's set of names without a walk of its slots.
  if (name_hash && !t.index->entries.may_hold(name_hash)) return nullptr;
  EntryList *list = t.index->entries.find(IndexKey{area, canonical_scope(scope), name, name_hash});
  return list && !list->empty() ? list : nullptr;
}

bool kind_matches(const Symbol *s, int kind) {
  if (kind < 0) return true;
  const TypeDesc *ty = s->decl ? s->decl->type : nullptr;
  return ty && ty->kind == kind;
}

// Last (or first, by setting) entry of a candidate list that passes `accept`.
template <typename Accept>
Symbol *pick(const EntryList *list, Accept accept, bool first) {
  if (!list) return nullptr;
  // A list may name an entry of another scope (a using-declaration) that
  // has been removed since.
  if (first) {
    for (Symbol *s : *list)
      if (!s->removed && accept(s)) return s;
  } else {
    for (Symbol *const *it = list->end(); it != list->begin();) {
      --it;
      if (!(*it)->removed && accept(*it)) return *it;
    }
  }
  return nullptr;
}

Symbol *better(Symbol *a, Symbol *b, bool first) {
  if (!a) return b;
  if (!b) return a;
  return (first ? b->sequence < a->sequence : b->sequence > a->sequence) ? b : a;
}

// Namespaces a scope names in its using-directives (every record of a
// reopened namespace counts, aliases stand for their target).
void using_list(SymbolTable &t, TypeDesc *scope, std::vector<TypeDesc *> &out) {
  auto add = [&](TypeDesc *n) {
    for (int guard = 0; n && n->record() && n->record()->alias_of && guard < 100; ++guard) n = n->record()->alias_of;
    n = canonical_scope(n);
    if (!n) return;
    for (TypeDesc *o : out)
      if (o == n) return;
    out.push_back(n);
  };
  if (!scope) {
    for (TypeDesc *n : t.using_namespaces) add(n);
    return;
  }
  TypeDesc *head = canonical_scope(scope);
  int guard = 0;
  for (TypeDesc *r = head; r && r->record() && guard < 100000; r = r->record()->next_opening, ++guard)
    for (TypeDesc *n : r->record()->using_namespaces) add(n);
  if (head != scope && scope->record())
    for (TypeDesc *n : scope->record()->using_namespaces) add(n);
}

// Best visible entry at one level: the scope itself and the namespaces it uses.
template <typename Accept>
Symbol *find_at_level(SymbolTable &t, int area, TypeDesc *scope, const char *name, std::uint64_t name_hash,
                      Accept accept) {
  const bool first = analysis_settings().first_match != 0;
  Symbol *best = pick(candidates(t, area, scope, name, name_hash), accept, first);
  std::vector<TypeDesc *> used;
  using_list(t, scope, used);
  for (TypeDesc *n : used) best = better(best, pick(candidates(t, area, n, name, name_hash), accept, first), first);
  return best;
}

// The name's hash for a walk of the scopes, made once; 0 when no scope of
// the table can hold the name (an empty name, no index, or one the index's
// set of names denies), so that the walk finds nothing without a look.
std::uint64_t walk_hash(const SymbolTable &t, const char *name, std::uint64_t known_hash = 0) {
  if (!name || !*name || !t.index) return 0;
  const std::uint64_t hash = known_hash ? known_hash : name_hash_of(name);
  return t.index->entries.may_hold(hash) ? hash : 0;
}

// known_hash: name_hash_of(name) when the caller has it, else 0.
template <typename Accept>
Symbol *find_visible(SymbolTable &t, int area, const char *name, const ScopeContext &ctx, Accept accept,
                     std::uint64_t known_hash = 0) {
  const std::uint64_t name_hash = walk_hash(t, name, known_hash);
  if (!name_hash) return nullptr;
  TypeDesc *scope = ctx.kind ? ctx.current : nullptr;
  for (int guard = 0; guard < 100000; ++guard) {
    Symbol *s = find_at_level(t, area, scope, name, name_hash, accept);
    if (s) return s;
    if (!scope) break;
    scope = enclosing_scope(scope);
  }
  return nullptr;
}

void record_entry(SymbolTable &t, Symbol *s) {
  if (!analysis_settings().recording || !s) return;
  t.recorded.push_back(s);
  if (s->recorded_times < Symbol::kRecordedMany) ++s->recorded_times;
}

// Links an entry at the end of its bucket's list.
void link_last(Bucket &b, Symbol *s) {
  s->next = nullptr;
  s->prev = b.last;
  if (b.last) b.last->next = s; else b.first = s;
  b.last = s;
  ++b.count;
}

// name_hash: name_hash_of(d->name) when the caller has it, else 0.
Symbol *append_symbol(SymbolTable &t, int area, Declaration *d, std::uint64_t name_hash = 0) {
  Symbol *s = pooled_new<Symbol>(t);
  s->decl = d;
  s->area = area;
  s->bucket = d->name ? name_bucket(d->name) : 0;
  TableIndex &ix = index_of(t);
  // Each entry takes a record of its own: memory runs out long before the
  // sequence numbers do.
  if (ix.next_sequence == UINT32_MAX) report_memory_overflow();
  s->sequence = ix.next_sequence++;
  if (TableIndex::Scratch *scratch = scratch_of(t)) {
    check_scratch_scope(t, decl_scope(d));
    scratch->added.push_back(s);
  }
  link_last(area_buckets(t, area)[s->bucket], s);
  if (d->name) {
    TypeDesc *scope = decl_scope(d);
    ix.entries.at(IndexKey{area, canonical_scope(scope), d->name, name_hash}).push_back(s);
    if (scope && scope->record()) {
      std::vector<Symbol *> &members = ix.by_scope[scope];
      // A class or structure mostly has a few members: room for several
      // at once rather than growing the list one doubling at a time.
      if (members.empty()) members.reserve(8);
      members.push_back(s);
    }
  }
  return s;
}

// Completing a forward-declared class hands its record over (merge_type), so
// the scope it stands for becomes the body's: the entries indexed under the
// old scope whose own scope now stands for another move to that one's lists,
// in sequence order.
void rekey_scope(SymbolTable &t, TypeDesc *from) {
  if (!t.index) return;
  keep_scratch(t);
  TableIndex &ix = *t.index;
  auto listed = ix.by_scope.find(from);
  if (listed == ix.by_scope.end()) return;
  std::vector<Symbol *> list = std::move(listed->second);
  ix.by_scope.erase(listed);
  std::vector<Symbol *> staying;
  for (Symbol *s : list) {
    if (s->removed) continue;
    TypeDesc *now = decl_scope(s->decl);
    if (now == from) {
      staying.push_back(s);
      continue;
    }
    const IndexKey old_key{s->area, from, s->decl->name};
    if (EntryList *v = ix.entries.find(old_key)) {
      v->erase(s);
      if (v->empty()) ix.entries.erase(old_key);
    }
    ix.entries.at(key_of(s->area, now, s->decl->name)).insert_ordered(
        s, [](const Symbol *a, const Symbol *b) { return a->sequence < b->sequence; });
    if (now && now->record()) ix.by_scope[now].push_back(s);
  }
  if (!staying.empty()) ix.by_scope[from] = std::move(staying);
}

TypeDesc *merge_in_table(SymbolTable &t, TypeDesc *old_type, TypeDesc *new_type) {
  TypeDesc *before = canonical_scope(old_type);
  TypeDesc *result = merge_type(old_type, new_type);
  TypeDesc *after = canonical_scope(old_type);
  if (before != after) rekey_scope(t, before);
  return result;
}

const char *text_of(const char *p) { return p ? p : ""; }
bool same_text(const char *a, const char *b) { return std::strcmp(text_of(a), text_of(b)) == 0; }

bool is_class_body_scope(const Declaration *d) {
  if (!d->scope_kind || !d->scope) return false;
  const TypeDesc *s = d->scope;
  return (s->kind == TK_CLASS || s->kind == TK_UNION) && s->record() && s->record()->key != KEY_NAMESPACE;
}

bool record_has_body(const TypeDesc *t) {
  return t && t->record() && (t->record()->has_body || t->record()->first);
}

bool is_namespace(const TypeDesc *t) {
  return t && t->kind == TK_CLASS && t->record() && t->record()->key == KEY_NAMESPACE;
}

void report_redefined(const ReportSink &sink, WarningCode code, const Declaration *d, int line) {
  sink(code, text_of(d->name), d->file, line);
}

void new_definition(SymbolTable &t, Symbol *s) {
  s->def_order = ++t.counter;
  record_entry(t, s);
}

// New entry; order numbers by what the declaration is.
Symbol *add_new(SymbolTable &t, int area, Declaration *d, bool forward_only, bool tag_with_body,
                std::uint64_t name_hash = 0) {
  Symbol *s = append_symbol(t, area, d, name_hash);
  const std::uint32_t n = ++t.counter;
  if (tag_with_body) {
    s->def_order = n;  // no forward declaration before it
  } else {
    s->first_order = n;
    s->def_order = forward_only ? 0 : n;
  }
  record_entry(t, s);
  return s;
}

void add_enumerators(SymbolTable &t, const Declaration *owner, TypeDesc *enumeration) {
  if (!enumeration || !enumeration->enumeration()) return;
  for (EnumeratorRec *e = enumeration->enumeration()->first; e; e = e->next) {
    Declaration *d = decl_new(e->name, enumeration, &t);
    d->scope_kind = owner->scope_kind;
    d->scope = owner->scope;
    d->file = owner->file;
    d->line = e->line;
    if (e->has_value) d->text = e->value_text;
    Symbol *s = append_symbol(t, AREA_ENUMERATOR, d);
    s->first_order = s->def_order = ++t.counter;
  }
}

bool befriends(const TypeDesc *record_type, const char *reference) {
  if (!reference || !record_type || !record_type->record()) return false;
  for (const MemberNode *m = record_type->record()->first; m; m = m->next) {
    const Declaration *d = m->decl;
    if (!d || !(d->storage & SF_FRIEND) || !d->type) continue;
    const TypeDesc *ty = d->type;
    if (ty->kind != TK_CLASS && ty->kind != TK_TEMPLATE && ty->kind != TK_ELABORATED) continue;
    const char *n = type_name(ty);
    if (!n) n = d->name;
    if (same_text(n, reference)) return true;
  }
  return false;
}

// h: name_hash_of(d->name) (0 for no name), for its look-up and its entry.
Symbol *enter_enum(Declaration *d, SymbolTable &t, const ReportSink &sink, std::uint64_t h) {
  TypeDesc *ty = d->type;
  if (!d->name) {
    Symbol *s = add_new(t, AREA_TAG, d, false, ty->enumeration()->first != nullptr);
    add_enumerators(t, d, ty);
    return s;
  }
  Symbol *ex = pick(candidates(t, AREA_TAG, decl_scope(d), d->name, h),
                    [](Symbol *s) { return kind_matches(s, TK_ENUM); }, analysis_settings().first_match);
  if (!ex) {
    Symbol *s = add_new(t, AREA_TAG, d, ty->enumeration()->first == nullptr, ty->enumeration()->first != nullptr, h);
    add_enumerators(t, d, ty);
    return s;
  }
  TypeDesc *old = ex->decl->type;
  if (ty->enumeration()->first && old->enumeration()->first) {
    report_redefined(sink, MSG_REDEFSTRU, d, d->line);
    ex->decl->type = merge_in_table(t, old, ty);
    return ex;
  }
  if (!ty->enumeration()->first) return ex;  // a reference to the known enumeration
  ex->decl->type = merge_in_table(t, old, ty);
  new_definition(t, ex);
  add_enumerators(t, ex->decl, ex->decl->type);
  return ex;
}

Symbol *enter_record(Declaration *d, SymbolTable &t, const char *reference, std::uint64_t h) {
  TypeDesc *ty = d->type;
  if (befriends(ty, reference)) ty->record()->friend_of_reference = 1;
  const bool body = record_has_body(ty) || is_namespace(ty);
  if (!d->name) return add_new(t, AREA_TAG, d, !body, body);
  const int kind = ty->kind;
  Symbol *ex = pick(candidates(t, AREA_TAG, decl_scope(d), d->name, h),
                    [kind](Symbol *s) { return kind_matches(s, kind); }, analysis_settings().first_match);
  if (!ex) return add_new(t, AREA_TAG, d, !body, body, h);
  TypeDesc *old = ex->decl->type;
  if (is_namespace(ty) || is_namespace(old)) {
    // Reopened namespaces are joined by their chain, not merged.
    if (same_scope(old, ty)) return ex;
    return add_new(t, AREA_TAG, d, false, true, h);
  }
  if (!record_has_body(ty)) return ex;  // forward declaration after the fact, or a repeat
  ex->decl->type = merge_in_table(t, old, ty);
  if (befriends(ex->decl->type, reference)) ex->decl->type->record()->friend_of_reference = 1;
  ex->decl->file = d->file;
  new_definition(t, ex);
  return ex;
}

bool same_template_params(const TypeDesc *a, const TypeDesc *b) {
  const TemplateParam *p = a->templ()->first_param, *q = b->templ()->first_param;
  for (; p && q; p = p->next, q = q->next) {
    if (p->is_type != q->is_type) return false;
    if (!p->is_type && !same_type(p->value_type, q->value_type)) return false;
  }
  return !p && !q;
}

Symbol *enter_template(Declaration *d, SymbolTable &t, std::uint64_t h) {
  TypeDesc *ty = d->type;
  const bool body = ty->templ()->has_body != 0;
  if (!d->name) return add_new(t, AREA_TAG, d, !body, body);
  const bool first = analysis_settings().first_match != 0;
  const EntryList *list = candidates(t, AREA_TAG, decl_scope(d), d->name, h);
  Symbol *any = pick(list, [](Symbol *s) { return kind_matches(s, TK_TEMPLATE); }, first);
  if (!any) return add_new(t, AREA_TAG, d, !body, body, h);
  if (body) {
    Symbol *match = pick(list, [&](Symbol *s) {
      return kind_matches(s, TK_TEMPLATE) && s->decl->type->templ()->has_body &&
             same_template_params(s->decl->type, ty);
    }, first);
    if (match) {
      new_definition(t, match);
      return match;
    }
    if (any->decl->type->templ()->has_body) return add_new(t, AREA_TAG, d, false, true, h);
    // The definition of a template declared before: the earlier record,
    // which earlier uses already hold, takes the definition (the grammar
    // has given it the defaults of the declaration).
    TemplateInfo *old_info = any->decl->type->templ();
    TemplateInfo merged = *ty->templ();
    merged.first_instance = old_info->first_instance;
    merged.last_instance = old_info->last_instance;
    *old_info = merged;
    old_info->declared_before = 1;
    any->decl->file = d->file;
    any->decl->line = d->line;
    new_definition(t, any);
    return any;
  }
  // A declaration repeated before or after the definition.
  return any;
}

bool typedef_of_own_tag(const Declaration *d) {
  if (!(d->storage & SF_TYPEDEF) || !d->type || d->type->kind != TK_ELABORATED) return false;
  return same_text(type_name(d->type), d->name);
}

Symbol *enter_function_or_member(Declaration *d, SymbolTable &t, bool lenient, std::uint64_t h) {
  const bool is_function = d->type && d->type->kind == TK_FUNCTION;
  Symbol *ex = pick(candidates(t, AREA_ORDINARY, decl_scope(d), d->name, h), [&](Symbol *s) {
    const TypeDesc *o = s->decl->type;
    if (is_function) return o && o->kind == TK_FUNCTION && same_parameters(o, d->type, lenient);
    return !(o && o->kind == TK_FUNCTION);
  }, analysis_settings().first_match);
  if (!ex) return add_new(t, AREA_ORDINARY, d, false, false, h);
  ex->decl->type = merge_in_table(t, ex->decl->type, d->type);
  if (is_function && d->type->function()->info->defined) {
    ex->decl->file = d->file;
    new_definition(t, ex);
  }
  return is_function ? nullptr : ex;
}

Symbol *enter_ordinary(Declaration *d, SymbolTable &t, int line, bool lenient, const ReportSink &sink,
                       std::uint64_t h) {
  if (!d->name) return add_new(t, AREA_ORDINARY, d, false, false, h);
  if ((d->type && d->type->kind == TK_FUNCTION) || is_class_body_scope(d)) return enter_function_or_member(d, t, lenient, h);
  Symbol *ex = pick(candidates(t, AREA_ORDINARY, decl_scope(d), d->name, h), [](Symbol *) { return true; },
                    analysis_settings().first_match);
  if (!ex) return add_new(t, AREA_ORDINARY, d, false, false, h);
  Declaration *e = ex->decl;
  const bool new_extern = d->storage & SF_EXTERN, new_static = d->storage & SF_STATIC;
  if (e->storage & SF_EXTERN) {
    if (new_extern) {
      e->file = d->file;
      return ex;
    }
    if (!new_static) {
      // The definition replaces the external declaration.
      e->type = merge_in_table(t, e->type, d->type);
      e->file = d->file;
      e->storage = 0;
      if (!d->text.empty()) e->text = d->text.view();
      new_definition(t, ex);
      return ex;
    }
    return add_new(t, AREA_ORDINARY, d, false, false, h);
  }
  const bool other_file = !same_text(e->file, d->file);
  if ((e->storage & SF_STATIC) && other_file) return add_new(t, AREA_ORDINARY, d, false, false, h);
  if (new_extern) {
    e->file = d->file;
    return ex;
  }
  if (new_static) {
    if (other_file) return add_new(t, AREA_ORDINARY, d, false, false, h);
    report_redefined(sink, MSG_REDEFSYMB, d, line);
    return ex;
  }
  if (typedef_of_own_tag(d) && typedef_of_own_tag(e) && same_type(e->type, d->type)) return ex;
  report_redefined(sink, MSG_REDEFSYMB, d, line);
  e->type = merge_in_table(t, e->type, d->type);
  return ex;
}

}  // namespace

// ---------------------------------------------------------------------------

namespace {

TableArena &arena_of(SymbolTable *owner) {
  if (!owner) {
    SymbolTable *&pool = analyser_process().pool;  // records made outside any table
    if (!pool) pool = new SymbolTable();
    owner = pool;
  }
  if (!owner->arena) owner->arena = new TableArena();
  return *owner->arena;
}

}  // namespace

void *table_find_shared(SymbolTable *owner, bool (*matches)(const void *record, const void *key),
                        const void *key) {
  for (void *r : arena_of(owner).shared)
    if (matches(r, key)) return r;
  return nullptr;
}

void table_add_shared(SymbolTable *owner, void *record) { arena_of(owner).shared.push_back(record); }

const std::vector<void *> &table_shared(SymbolTable *owner) { return arena_of(owner).shared; }

void table_own(SymbolTable *owner, void *object, void (*destroy)(void *)) {
  arena_of(owner).objects.emplace_back(object, destroy);
}

namespace {

// table_allocate's way for a record that does not fit the last block of
// its pool, or the first of a pool or a table: a call of its own, so that
// the common way saves no registers for it.
[[gnu::noinline]] void *allocate_in_new_room(SymbolTable *owner, RecordSlot slot, std::size_t size,
                                             void (*destroy)(void *)) {
  return arena_of(owner).allocate(slot, size, destroy);
}

}  // namespace

void *table_allocate(SymbolTable *owner, RecordSlot slot, std::size_t size, void (*destroy)(void *)) {
  // Most records of a table find room in the last block of their pool:
  // taken here without the set-up and checks of a pool's first record.
  if (owner && owner->arena) {
    std::vector<RecordPool> &pools = owner->arena->pools;
    const std::size_t i = static_cast<std::size_t>(slot);
    if (i < pools.size()) {
      RecordPool &p = pools[i];
      if (p.size == size && p.used < p.block_records) return p.blocks.back() + size * p.used++;
    }
  }
  return allocate_in_new_room(owner, slot, size, destroy);
}

std::size_t table_index_size(const SymbolTable &table) { return table.index ? table.index->entries.size() : 0; }

void table_reserve(SymbolTable &table, std::size_t names) { index_of(table).entries.reserve(names); }

int name_bucket(const char *name) {
  if (!name) return 0;
  unsigned long sum = 0, length = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
    sum += *p;
    ++length;
  }
  return static_cast<int>(10 * (sum % 10) + length % 10);
}

int function_scope_bucket(const char *name) {
  unsigned long sum = 0;
  if (name)
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) sum += *p;
  return static_cast<int>(sum % TABLE_BUCKETS);
}

void table_init(SymbolTable &table, const char *reference_name, SourceLanguage language) {
  release_table(table);
  table.reference_name = intern_string(reference_name);
  table.language = language;
}

void release_table(SymbolTable &table) {
  if (analyser_process().last_table == &table) analyser_process().last_table = nullptr;
  TableArena *arena = table.arena;
  TableIndex *index = table.index;
  table.arena = nullptr;
  table.index = nullptr;
  table.counter = 0;
  for (int b = 0; b < TABLE_BUCKETS; ++b) {
    table.function_scopes[b] = nullptr;
    table.ordinary[b] = Bucket();
    table.tags[b] = Bucket();
    table.enumerators[b] = Bucket();
  }
  table.reference_name = nullptr;
  std::vector<TypeDesc *>().swap(table.using_namespaces);
  std::vector<UsingDecl>().swap(table.using_declarations);
  std::vector<Symbol *>().swap(table.recorded);
  delete index;
  delete arena;
}

Symbol *enter_declaration(Declaration *decl, SymbolTable &table, const ScopeContext &scope, int line,
                          int lenient, const ReportSink &sink) {
  if (lenient < 0) lenient = analysis_settings().lenient_matching;
  if (!decl) return nullptr;
  decl->name = intern_string(decl->name);
  if (decl->scope_kind == 0 && scope.kind && scope.current && !decl->scope) {
    decl->scope_kind = 1;
    decl->scope = scope.current;
  }
  if (!decl->line) decl->line = line;
  TypeDesc *t = decl->type;
  if (scratch_of(table)) {
    check_scratch_scope(table, decl_scope(decl));
    // Bodies and templates reach into records made before (a completed
    // forward declaration shares the body's record, an instance is listed
    // with its template): such a section is kept.
    if (t && (t->kind == TK_TEMPLATE || record_has_body(t) || is_namespace(t) ||
              (t->enumeration() && t->enumeration()->first)))
      keep_scratch(table);
  }
  // A tag declaration names its own type (or is unnamed like it); anything
  // else of an aggregate type (a variable, a typedef) is an ordinary name.
  const bool tag = t && !(decl->storage & SF_TYPEDEF) && same_text(decl->name, type_name(t));
  // The name is hashed once for its look-ups and its entry.
  const std::uint64_t h = decl->name ? name_hash_of(decl->name) : 0;
  if (tag && t->kind == TK_ENUM && t->enumeration()) return enter_enum(decl, table, sink, h);
  if (tag && (t->kind == TK_CLASS || t->kind == TK_UNION) && t->record())
    return enter_record(decl, table, table.reference_name, h);
  if (tag && t->kind == TK_TEMPLATE && t->templ()) return enter_template(decl, table, h);
  return enter_ordinary(decl, table, line, lenient != 0, sink, h);
}

Symbol *lookup_ordinary(const char *name, SymbolTable &table, const ScopeContext &scope) {
  const std::uint64_t name_hash = walk_hash(table, name);
  if (!name_hash) return nullptr;
  TypeDesc *s = scope.kind ? scope.current : nullptr;
  auto any = [](Symbol *) { return true; };
  for (int guard = 0; guard < 100000; ++guard) {
    Symbol *found = find_at_level(table, AREA_ORDINARY, s, name, name_hash, any);
    if (!found) found = find_at_level(table, AREA_ENUMERATOR, s, name, name_hash, any);
    if (found) return found;
    if (!s) break;
    s = enclosing_scope(s);
  }
  return nullptr;
}

Symbol *lookup_tag(const char *name, SymbolTable &table, int kind, const ScopeContext &scope) {
  return find_visible(table, AREA_TAG, name, scope, [kind](Symbol *s) { return kind_matches(s, kind); });
}

Symbol *lookup_tag(const TableName &name, SymbolTable &table, int kind, const ScopeContext &scope) {
  return find_visible(table, AREA_TAG, name.name, scope, [kind](Symbol *s) { return kind_matches(s, kind); },
                      name.hash);
}

Symbol *lookup_enumerator(const char *name, SymbolTable &table, const ScopeContext &scope) {
  return find_visible(table, AREA_ENUMERATOR, name, scope, [](Symbol *) { return true; });
}

Symbol *lookup_at_level(const char *name, SymbolTable &table, int area, TypeDesc *scope, int kind,
                        bool skip_own_tag_typedefs) {
  return find_at_level(table, area, scope, name, 0, [&](Symbol *s) {
    if (!kind_matches(s, kind)) return false;
    return !(skip_own_tag_typedefs && typedef_of_own_tag(s->decl));
  });
}

TableName table_name(const char *name) {
  return TableName{name, name && *name ? name_hash_of(name) : 0};
}

TableName table_name(const char *name, std::size_t length) {
  return TableName{name, name && length ? name_hash_of(name, length) : 0};
}

TableName table_name_of_hash(const char *name, std::uint64_t text_hash) {
  return TableName{name, name && *name ? (text_hash ? text_hash : 1) : 0};
}

TableRecords::TableRecords(const SymbolTable &table)
    : blocks_(RS_COUNT), counts_(RS_COUNT, 0), last_(RS_COUNT, nullptr) {
  if (!table.arena) return;
  const std::vector<RecordPool> &pools = table.arena->pools;
  for (std::size_t slot = 0; slot < pools.size() && slot < RS_COUNT; ++slot) {
    const RecordPool &p = pools[slot];
    std::vector<Block> &blocks = blocks_[slot];
    std::size_t first = 0;
    for (std::size_t b = 0; b < p.blocks.size(); ++b) {
      const std::size_t n = b + 1 == p.blocks.size() ? p.used : block_capacity(b);
      blocks.push_back({p.blocks[b], p.blocks[b] + n * p.size, p.size, first});
      first += n;
    }
    counts_[slot] = first;
    std::sort(blocks.begin(), blocks.end(), [](const Block &x, const Block &y) { return x.begin < y.begin; });
  }
}

// The block of the kind that holds p, or none.
const TableRecords::Block *TableRecords::find(int slot, const char *p) const {
  const std::vector<Block> &blocks = blocks_[static_cast<std::size_t>(slot)];
  auto after =
      std::upper_bound(blocks.begin(), blocks.end(), p, [](const char *q, const Block &b) { return q < b.begin; });
  if (after == blocks.begin() || p >= (after - 1)->end) return nullptr;
  return last_[static_cast<std::size_t>(slot)] = &*(after - 1);
}

void table_swap(SymbolTable &a, SymbolTable &b) {
  std::swap(a.counter, b.counter);
  std::swap(a.function_scopes, b.function_scopes);
  std::swap(a.ordinary, b.ordinary);
  std::swap(a.tags, b.tags);
  std::swap(a.enumerators, b.enumerators);
  std::swap(a.reference_name, b.reference_name);
  a.using_namespaces.swap(b.using_namespaces);
  a.using_declarations.swap(b.using_declarations);
  a.recorded.swap(b.recorded);
  std::swap(a.index, b.index);
  std::swap(a.arena, b.arena);
  std::swap(a.language, b.language);
  AnalyserProcess &p = analyser_process();
  if (p.last_table == &a || p.last_table == &b) p.last_table = nullptr;
}

bool table_copy(const SymbolTable &from, SymbolTable &to) {
  table_init(to, from.reference_name, from.language);
  const TableIndex *fx = from.index;
  bool copyable = from.using_namespaces.empty() && from.using_declarations.empty() && from.recorded.empty() &&
                  (!fx || (!fx->scratch.active && fx->function_scopes.empty()));
  for (int b = 0; b < TABLE_BUCKETS && copyable; ++b) copyable = !from.function_scopes[b];
  if (!copyable) return false;
  const TableRecords records(from);
  RecordCopy copy(records, &to);
  std::vector<Symbol *> entries(records.count(RS_SYMBOL), nullptr);
  // The shared records first, in their order, which later look-ups follow.
  if (from.arena)
    for (void *r : from.arena->shared) {
      TypeDesc *c = copy.type(static_cast<const TypeDesc *>(r));
      table_add_shared(&to, c);
    }
  for (int area : {AREA_ORDINARY, AREA_TAG, AREA_ENUMERATOR}) {
    const Bucket *from_buckets = area_buckets(const_cast<SymbolTable &>(from), area);
    Bucket *to_buckets = area_buckets(to, area);
    for (int b = 0; b < TABLE_BUCKETS; ++b)
      for (const Symbol *s = from_buckets[b].first; s; s = s->next) {
        Symbol *c = pooled_new<Symbol>(to);
        *c = *s;
        c->decl = copy.decl(s->decl);
        link_last(to_buckets[b], c);
        const std::ptrdiff_t number = records.number(RS_SYMBOL, s);
        if (number < 0) return false;
        entries[static_cast<std::size_t>(number)] = c;
      }
  }
  to.counter = from.counter;
  if (fx) {
    TableIndex &tx = index_of(to);
    tx.next_sequence = fx->next_sequence;
    bool listed = true;
    auto entry = [&entries, &records, &listed](const Symbol *s) {
      const std::ptrdiff_t number = records.number(RS_SYMBOL, s);
      Symbol *c = number < 0 ? nullptr : entries[static_cast<std::size_t>(number)];
      if (!c) listed = false;
      return c;
    };
    tx.entries.reserve(fx->entries.size());
    fx->entries.for_each([&](int area, const void *scope, const char *name, const EntryList &list) {
      EntryList &into = tx.entries.at(IndexKey{area, copy.type(static_cast<const TypeDesc *>(scope)), name});
      for (Symbol *s : list)
        if (Symbol *c = entry(s)) into.push_back(c);
    });
    for (const auto &scope : fx->by_scope) {
      std::vector<Symbol *> &into = tx.by_scope[copy.type(static_cast<const TypeDesc *>(scope.first))];
      for (Symbol *s : scope.second)
        if (Symbol *c = entry(s)) into.push_back(c);
    }
    // An entry the lists hold that no bucket does is one this copy cannot
    // place.
    if (!listed) return false;
  }
  copy.finish();
  return copy.ok();
}

bool table_may_hold_name(const SymbolTable &t, const TableName &name) {
  return name.hash && t.index && t.index->entries.may_hold(name.hash);
}

Symbol *lookup_name_at_level(const char *name, SymbolTable &t, TypeDesc *scope) {
  return lookup_name_at_level(table_name(name), t, scope);
}

TypeDesc *template_of_class(SymbolTable &t, const TypeDesc *cls) {
  if (!cls || !cls->record()) return nullptr;
  if (cls->template_word) return cls->template_word->kind == TK_TEMPLATE ? cls->template_word : nullptr;
  const char *own = cls->record()->name;
  const char *open = own ? std::strchr(own, '<') : nullptr;
  if (!open || open == own) return nullptr;
  const std::string name(own, static_cast<std::size_t>(open - own));
  TypeDesc *scope = cls->record()->enclosing ? cls->record()->enclosing : cls->scope;
  const Symbol *e =
      lookup_tag(table_name(name.c_str(), name.size()), t, TK_TEMPLATE, ScopeContext{scope ? 1 : 0, scope});
  return e ? e->decl->type : nullptr;
}

namespace {
// lookup_name_at_level's list of the namespaces a scope uses.
std::vector<TypeDesc *> kept_used_namespaces;
}  // namespace

Symbol *lookup_name_at_level(const TableName &key, SymbolTable &t, TypeDesc *scope) {
  const char *name = key.name;
  if (!name || !*name || !t.index) return nullptr;
  EntryIndex &entries = t.index->entries;
  const std::uint64_t hash = key.hash;
  const int areas[3] = {AREA_TAG, AREA_ORDINARY, AREA_ENUMERATOR};
  auto nonempty = [](EntryList *l) -> const EntryList * { return l && !l->empty() ? l : nullptr; };
  auto lists_of = [&](TypeDesc *level, int a) -> const EntryList * {
    return nonempty(entries.find(IndexKey{areas[a], canonical_scope(level), name, hash}));
  };
  // The scope's own lists are found once for the six kinds tried; the
  // namespaces it uses (none in C) are searched per kind.
  EntryList *by_area[3];
  entries.find_areas(canonical_scope(scope), name, hash, by_area);
  const EntryList *own[3] = {nonempty(by_area[AREA_TAG]), nonempty(by_area[AREA_ORDINARY]),
                             nonempty(by_area[AREA_ENUMERATOR])};
  // The namespaces used, in a list kept from look-up to look-up: a scope of
  // the standard library uses several, and a list made anew for every name
  // read there grew one allocation at a time. Nothing the look-up calls
  // below (the index, the scope records, the accepting tests) looks a name
  // up again, so no other look-up uses the list while this one reads it.
  std::vector<TypeDesc *> &used = kept_used_namespaces;
  used.clear();
  using_list(t, scope, used);
  if (used.empty() && !own[0] && !own[1] && !own[2]) return nullptr;
  // The lists of the first namespaces used, found in one walk each for the
  // three areas, as the scope's own are, rather than once per kind tried
  // (a scope of the standard library uses several, and every name read in
  // it is looked up there); any further ones per kind.
  // (Their count and place are read once: the calls below cannot change
  // them, and most scopes, every one in C, use none.)
  const std::size_t used_count = used.size();
  TypeDesc *const *const used_at = used.data();
  constexpr std::size_t kWalked = 8;
  const EntryList *walked[kWalked][3];
  const std::size_t walked_count = std::min(used_count, kWalked);
  for (std::size_t i = 0; i < walked_count; ++i) {
    EntryList *lists[3];
    entries.find_areas(canonical_scope(used_at[i]), name, hash, lists);
    for (int a = 0; a < 3; ++a) walked[i][a] = nonempty(lists[areas[a]]);
  }
  const bool first = analysis_settings().first_match != 0;
  auto at_level = [&](int a, auto accept) {
    Symbol *best = pick(own[a], accept, first);
    for (std::size_t i = 0; i < used_count; ++i)
      best = better(best, pick(i < walked_count ? walked[i][a] : lists_of(used_at[i], a), accept, first), first);
    return best;
  };
  auto tag_of_kind = [](int kind) { return [kind](Symbol *s) { return kind_matches(s, kind); }; };
  Symbol *e = at_level(0, tag_of_kind(TK_CLASS));
  if (!e) e = at_level(0, tag_of_kind(TK_TEMPLATE));
  if (!e) e = at_level(1, [](Symbol *s) { return !typedef_of_own_tag(s->decl); });
  if (!e) e = at_level(2, [](Symbol *) { return true; });
  if (!e) e = at_level(0, tag_of_kind(TK_ENUM));
  if (!e) e = at_level(0, tag_of_kind(TK_UNION));
  return e;
}

Symbol *lookup_in_scope(const char *name, SymbolTable &table, int area, TypeDesc *scope) {
  return pick(candidates(table, area, scope, name), [](Symbol *) { return true; },
              analysis_settings().first_match);
}

Symbol *find_function(const char *name, SymbolTable &table, TypeDesc *scope, const TypeDesc *function_type,
                      int lenient) {
  if (lenient < 0) lenient = analysis_settings().lenient_matching;
  return pick(candidates(table, AREA_ORDINARY, scope, name), [&](Symbol *s) {
    const TypeDesc *o = s->decl->type;
    return o && o->kind == TK_FUNCTION && function_type && same_parameters(o, function_type, lenient);
  }, analysis_settings().first_match);
}

bool is_visible(const Symbol *entry, const ScopeContext &scope, const SymbolTable &table) {
  if (!entry || !entry->decl) return false;
  SymbolTable &t = const_cast<SymbolTable &>(table);
  TypeDesc *own = decl_scope(entry->decl);
  TypeDesc *s = scope.kind ? canonical_scope(scope.current) : nullptr;
  if (own == s) return true;
  std::vector<TypeDesc *> used;
  using_list(t, s, used);
  for (TypeDesc *n : used)
    if (n == own) return true;
  return false;
}

void symbol_mark_defined(SymbolTable &table, Symbol *entry) {
  if (entry) new_definition(table, entry);
}

void table_add_using(SymbolTable &table, TypeDesc *scope, const char *name, TypeDesc *from) {
  if (!name || !*name || canonical_scope(scope) == canonical_scope(from)) return;
  keep_scratch(table);
  TableIndex &ix = index_of(table);
  for (int area : {AREA_ORDINARY, AREA_TAG, AREA_ENUMERATOR}) {
    const EntryList *found = candidates(table, area, from, name);
    if (!found) continue;
    const std::vector<Symbol *> named(found->begin(), found->end());
    EntryList &list = ix.entries.at(key_of(area, scope, name));
    for (Symbol *s : named) {
      if (std::find(list.begin(), list.end(), s) != list.end()) continue;
      list.insert_ordered(s, [](const Symbol *a, const Symbol *b) { return a->sequence < b->sequence; });
    }
  }
}

void collect_area_entries(const Bucket (&area)[TABLE_BUCKETS], std::vector<Symbol *> &out) {
  const std::size_t base = out.size();
  std::size_t total = 0;
  for (const Bucket &b : area) total += b.count;
  out.resize(base + total);
  std::size_t at[TABLE_BUCKETS], end[TABLE_BUCKETS];
  Symbol *next[TABLE_BUCKETS];
  int live[TABLE_BUCKETS], live_count = 0;
  std::size_t place = base;
  for (int b = 0; b < TABLE_BUCKETS; ++b) {
    at[b] = place;
    place += area[b].count;
    end[b] = place;
    next[b] = area[b].first;
    if (next[b]) live[live_count++] = b;
  }
  bool counted = true;
  while (live_count > 0) {
    int kept = 0;
    for (int k = 0; k < live_count; ++k) {
      const int b = live[k];
      if (at[b] == end[b]) {
        counted = false;
        continue;
      }
      Symbol *s = next[b];
      out[at[b]++] = s;
      next[b] = s->next;
      if (next[b]) live[kept++] = b;
    }
    live_count = kept;
  }
  for (int b = 0; b < TABLE_BUCKETS && counted; ++b) counted = at[b] == end[b];
  if (counted) return;
  // The counts disagree with the lists: the lists are what the table holds.
  out.resize(base);
  for (const Bucket &b : area)
    for (Symbol *s = b.first; s; s = s->next) out.push_back(s);
}

void remove_symbol(SymbolTable &table, Symbol *entry) {
  if (!entry || entry->removed) return;
  keep_scratch(table);
  Bucket &b = area_buckets(table, entry->area)[entry->bucket];
  if (entry->prev) entry->prev->next = entry->next; else b.first = entry->next;
  if (entry->next) entry->next->prev = entry->prev; else b.last = entry->prev;
  --b.count;
  entry->next = entry->prev = nullptr;
  entry->removed = true;
  if (table.index && entry->decl && entry->decl->name) {
    const IndexKey key = key_of(entry->area, decl_scope(entry->decl), entry->decl->name);
    if (EntryList *v = table.index->entries.find(key)) {
      v->erase(entry);
      if (v->empty()) table.index->entries.erase(key);
    }
  }
  // Temporary entries are removed right after they were made: search from the
  // end, and only as far as the entry's last recording.
  std::size_t left = entry->recorded_times == Symbol::kRecordedMany ? table.recorded.size() : entry->recorded_times;
  entry->recorded_times = 0;
  for (std::size_t i = table.recorded.size(); left > 0 && i-- > 0;)
    if (table.recorded[i] == entry) {
      table.recorded.erase(table.recorded.begin() + static_cast<long>(i));
      --left;
    }
}

TypeDesc *function_scope(SymbolTable &table, const char *function_name) {
  const char *name = intern_string(function_name);
  if (!name) return nullptr;
  // Names are interned, so the pointer is the key.
  FunctionScopeNode *&indexed = index_of(table).function_scopes[name];
  if (indexed) return indexed->scope;
  FunctionScopeNode *&head = table.function_scopes[function_scope_bucket(name)];
  FunctionScopeNode *n = pooled_new<FunctionScopeNode>(table);
  n->name = name;
  n->scope = type_new(TK_FUNCTION, &table);
  n->next = head;
  head = n;
  indexed = n;
  if (TableIndex::Scratch *s = scratch_of(table)) {
    if (name == s->name && !s->node)
      s->node = n;
    else
      s->kept = true;
  }
  return n->scope;
}

void table_begin_scratch(SymbolTable &table, const char *function_name) {
  table_end_scratch(table);
  TableIndex &ix = index_of(table);
  TableIndex::Scratch &s = ix.scratch;
  // The lists of the section before, emptied, lend their room.
  std::vector<Symbol *> added = std::move(s.added);
  std::vector<ArenaMark::Fill> fills = std::move(s.mark.pools);
  s = TableIndex::Scratch();
  added.clear();
  s.added = std::move(added);
  s.mark.pools = std::move(fills);
  s.active = true;
  s.name = intern_string(function_name);
  // A scope that exists already may hold entries of before.
  s.kept = !s.name || ix.function_scopes.count(s.name) != 0;
  arena_of(&table).mark_into(s.mark);
  s.using_namespaces = table.using_namespaces.size();
  s.using_declarations = table.using_declarations.size();
}

bool table_has_function_scope(const SymbolTable &table, const char *function_name) {
  const char *name = intern_string(function_name);
  return name && table.index && table.index->function_scopes.count(name) != 0;
}

bool table_end_scratch(SymbolTable &table) {
  TableIndex::Scratch *s = scratch_of(table);
  if (!s) return false;
  TableIndex &ix = *table.index;
  if (table.using_namespaces.size() != s->using_namespaces ||
      table.using_declarations.size() != s->using_declarations)
    s->kept = true;
  FunctionScopeNode *&head = table.function_scopes[function_scope_bucket(s->name)];
  if (s->node && head != s->node) s->kept = true;
  TableIndex::Scratch done = std::move(*s);
  ix.scratch = TableIndex::Scratch();
  bool undone = false;
  if (!done.kept) {
    // The order numbers and sequences taken stay taken, so that what comes
    // next is numbered as if the section were still there.
    for (auto it = done.added.rbegin(); it != done.added.rend(); ++it) remove_symbol(table, *it);
    if (done.node) {
      head = done.node->next;
      ix.function_scopes.erase(done.name);
    }
    arena_of(&table).roll_back(done.mark);
    undone = true;
  }
  // A service's section follows another's: the next one fills the room of
  // these lists instead of growing new ones. The index holds them, empty,
  // while no section is open.
  done.added.clear();
  done.mark.pools.clear();
  ix.scratch.added = std::move(done.added);
  ix.scratch.mark.pools = std::move(done.mark.pools);
  return undone;
}

void table_note_shared_change(SymbolTable &table) { keep_scratch(table); }

const char *storage_flag_text(unsigned flag) {
  switch (flag) {
    case SF_TYPEDEF: return "typedef ";
    case SF_EXTERN: return "extern ";
    case SF_STATIC: return "static ";
    case SF_AUTO: return "auto ";
    case SF_REGISTER: return "register ";
    case SF_FRIEND: return "friend ";
    case SF_OVERLOAD: return "overload ";
    case SF_INLINE: return "inline ";
    case SF_VIRTUAL: return "virtual ";
    case SF_EXPORT: return "export ";
    case SF_EXPLICIT: return "explicit ";
    case SF_MUTABLE: return "mutable ";
    case SF_THREAD_LOCAL: return "thread_local ";
    default: return "";
  }
}
