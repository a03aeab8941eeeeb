// Sizes and alignments of types on the target, for sizeof in constant
// expressions: the analyser's target sizes, natural alignment, bit-fields
// packed into units of their declared type as the usual ABIs do.
#include <algorithm>
#include <cstring>

#include "cpptab.h"
#include "y_cppe.h"
#include "y_cppeint.h"

namespace {

// Typedef names, elaborated names, leading qualifiers and references.
const TypeDesc *strip(const TypeDesc *t) { return see_through_names(t, true); }

struct Layout {
  long long size = -1;
  long long align = 1;
};

long long declared_size(const char *name) { return target_sizes().declared_size(name); }

Layout layout_of(const TypeDesc *t, int depth, const ExpressionContext &ctx);

long long round_up(long long v, long long a) { return a > 1 ? (v + a - 1) / a * a : v; }

bool same_base_record(const TypeDesc *t, const TypeDesc *agg) {
  for (int guard = 0; t && guard < 10000; ++guard) {
    if (t->kind == TK_POINTER && t->pointer())
      t = t->pointer()->target;
    else if (t->kind == TK_ARRAY && t->array())
      t = t->array()->element;
    else
      break;
  }
  if (!t || !agg) return false;
  if (agg->record()) return t->record() == agg->record();
  if (agg->enumeration()) return t->enumeration() == agg->enumeration();
  return false;
}

Layout record_layout(const TypeDesc *t, int depth, const ExpressionContext &ctx) {
  Layout out;
  const ClassInfo *rec = t->record();
  if (!rec || !(rec->has_body || rec->first)) return out;
  const bool is_union = t->kind == TK_UNION;
  long long bits = 0;  // current offset in bits
  long long size_bits = 0;
  long long align = 1;
  for (const BaseNode *b = rec->first_base; b; b = b->next) {
    if (b->is_virtual) return Layout();
    // An empty base takes no room in the derived class.
    const TypeDesc *bs = strip(b->base);
    const bool empty = bs && bs->record() && !bs->record()->first && !bs->record()->first_base;
    if (empty) continue;
    Layout bl = layout_of(b->base, depth + 1, ctx);
    if (bl.size < 0) return Layout();
    bits = round_up(bits, bl.align * 8) + bl.size * 8;
    if (bl.align > align) align = bl.align;
  }
  for (const MemberNode *m = rec->first; m; m = m->next) {
    const Declaration *d = m->decl;
    if (!d || !d->type) continue;
    if (d->storage & (SF_STATIC | SF_TYPEDEF | SF_FRIEND)) continue;
    // The unnamed type of "union {...} w;" is listed before w: only w takes room.
    if (!d->name && !type_name(d->type) && m->next && m->next->decl &&
        same_base_record(m->next->decl->type, d->type))
      continue;
    const TypeDesc *mt = d->type;
    if (mt->kind == TK_FUNCTION) {
      if (d->storage & SF_VIRTUAL) return Layout();  // a table pointer: not laid out here
      continue;
    }
    // A nested type definition without a declarator takes no room.
    const TypeKind k = mt->kind;
    if ((k == TK_ENUM || k == TK_CLASS || k == TK_UNION || k == TK_TEMPLATE) && d->name &&
        type_name(mt) && std::strcmp(type_name(mt), d->name) == 0)
      continue;
    if (k == TK_TEMPLATE) continue;
    Layout ml = layout_of(mt, depth + 1, ctx);
    if (ml.size < 0) return Layout();
    if (!d->name && (d->storage & SF_BITFIELD)) {
      // An unnamed bit-field takes its bits but not its type's alignment;
      // of width 0 it moves the next member to a new unit.
      const long long unit = ml.size * 8;
      const long long w = d->bit_width();
      if (w > unit || unit == 0) return Layout();
      if (is_union) continue;
      if (w == 0) {
        bits = round_up(bits, unit);
      } else {
        long long start = bits;
        if (start / unit != (start + w - 1) / unit) start = round_up(start, unit);
        bits = start + w;
      }
      continue;
    }
    if (d->bit_width() > 0) {
      // Bit-field: it starts in the current unit of its declared type unless
      // it would cross that unit's boundary.
      const long long unit = ml.size * 8;
      const long long w = d->bit_width();
      if (w > unit) return Layout();
      long long start = is_union ? 0 : bits;
      if (start / unit != (start + w - 1) / unit) start = round_up(start, unit);
      if (is_union)
        size_bits = std::max(size_bits, w);
      else
        bits = start + w;
      if (ml.align > align) align = ml.align;
      continue;
    }
    if (is_union) {
      size_bits = std::max(size_bits, ml.size * 8);
    } else {
      bits = round_up(bits, ml.align * 8) + ml.size * 8;
    }
    if (ml.align > align) align = ml.align;
  }
  long long total = is_union ? size_bits : bits;
  long long bytes = (total + 7) / 8;
  if (bytes == 0) return Layout();  // empty: the languages disagree
  out.size = round_up(bytes, align);
  out.align = align;
  return out;
}

Layout layout_of(const TypeDesc *t, int depth, const ExpressionContext &ctx) {
  Layout out;
  if (depth > 200) return out;
  const AnalysisSettings &s = analysis_settings();
  t = strip(t);
  if (!t) return out;
  switch (t->kind) {
    case TK_INTEGER: {
      int bits = t->integer() ? (t->integer()->size < 0 ? -t->integer()->size : t->integer()->size) : 0;
      if (bits <= 0) bits = s.sizes->int_bits;
      out.size = (bits + 7) / 8;
      out.align = out.size;
      return out;
    }
    case TK_FLOATING: {
      const char *n = t->floating() && t->floating()->name ? t->floating()->name : "double";
      long long size = 8;
      if (std::strcmp(n, "float") == 0)
        size = declared_size("float") > 0 ? declared_size("float") : 4;
      else if (std::strstr(n, "long"))
        size = declared_size("longdouble") > 0 ? declared_size("longdouble") : 16;
      else
        size = declared_size("double") > 0 ? declared_size("double") : 8;
      out.size = size;
      out.align = size;
      return out;
    }
    case TK_POINTER: {
      long long size = declared_size("pointer");
      if (size <= 0) size = s.sizes->long_bits / 8;
      if (t->pointer() && t->pointer()->member_class) {
        const TypeDesc *target = strip(t->pointer()->target);
        if (target && target->kind == TK_FUNCTION) size *= 2;
      }
      out.size = size;
      out.align = declared_size("pointer") > 0 ? declared_size("pointer") : s.sizes->long_bits / 8;
      return out;
    }
    case TK_ENUM:
      if (t->enumeration() && t->enumeration()->underlying) return layout_of(t->enumeration()->underlying, depth + 1, ctx);
      out.size = enumeration_bytes(t, ctx);
      out.align = out.size;
      return out;
    case TK_ARRAY: {
      if (!t->array()) return out;
      Layout el = layout_of(t->array()->element, depth + 1, ctx);
      long long n = array_bound_value(*t->array(), ctx);
      if (el.size < 0 || n < 0) return Layout();
      out.size = el.size * n;
      out.align = el.align;
      return out;
    }
    case TK_UNION:
    case TK_CLASS:
      if (t->record() && t->record()->key == KEY_NAMESPACE) return out;
      return record_layout(t, depth, ctx);
    default:
      return out;
  }
}

}  // namespace

long long type_size_bytes(const TypeDesc *type, const ExpressionContext *context) {
  if (context) return layout_of(type, 0, *context).size;
  AnalysisBudget budget;
  ExpressionContext outside;
  outside.table = analyser_process().last_table;
  outside.budget = &budget;
  return layout_of(type, 0, outside).size;
}
