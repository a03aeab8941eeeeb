// Rendering of types and declarations back to C/C++ text, in the forms the
// test script needs (ordinary declarations, the object a pointer parameter
// designates, string buffers, return variables, stubs, calls, complete
// structure, class and enumeration definitions).
//
// A type renders into three parts: left (specifiers, class keys, type
// names), middle (pointer and reference operators) and right (array bounds,
// parameter lists, closing parentheses); the declaration is left, a blank
// when needed, middle, the declared name, right (see join_declarator).
#pragma once
#include <string>
#include <string_view>

#include "ctree.h"

// Rendering modes.
enum RenderMode : int {
  RM_ORDINARY = 0,
  RM_RETURN = 1,       // return variable ("int ret_f;"), const removed
  RM_CALL = 2,         // call statement
  RM_EXTERN = 3,       // declaration without storage prefix
  RM_STUB = 4,         // stub form with passing keywords
  RM_OBJECT_DECL = 5,  // "Class *pt_name;" for constructors and destructors
  RM_CONSTRUCT = 6,    // "pt_Name = new Class(args);"
  RM_OBJECT = 7,       // the object a pointer designates; strings as buffers
  RM_DESTRUCT = 8,     // "delete pt_destructor_Name;"
  RM_TEMPLATE_ARG = 9,
  RM_CLASS_KEY = 10,   // class key word written, no body (forward declarations)
  RM_NO_CLASS_KEY = 11
};

// Appends the type's text to the three parts. Body lines start with a
// newline, `indent_prefix` and `depth` + 1 tabs. Returns 1 (0 would mean a
// work buffer could not be had; strings grow, so it does not happen).
int render_type(const TypeDesc *type, std::string &left, std::string &middle, std::string &right,
                int body, const char *indent_prefix, int depth, int mode,
                const TypeDesc *current_class, int follow);

// left, middle, name and right joined into one declarator text.
std::string join_declarator(const std::string &left, const std::string &middle,
                            const std::string &name, const std::string &right);
// The same text appended to out, the name given as two parts written one
// after the other ("..." and the name of a pack).
void append_declarator(std::string &out, std::string_view left, std::string_view middle,
                       std::string_view name_head, std::string_view name, std::string_view right);

// Appends one declaration ending with ";" (nothing for the forms that write
// nothing, such as the return variable of a void function). `function_name`
// is the service name of modes 1 and 2. Body lines start with
// `indent_prefix` (or `prefix_text` when no indentation prefix is given);
// `prefix_text` is written first. Returns 1.
int render_declaration(const Declaration *decl, std::string &out, const char *function_name,
                       int mode, int body, const char *indent_prefix, const char *prefix_text);

// prefix_text, then (storage flag set) the storage word that stands, then
// the declaration (render_declaration).
int storage_prefix(const Declaration *decl, std::string &out, const char *function_name, int mode,
                   int body, int storage_flag, const char *indent_prefix,
                   const char *prefix_text);

// What renderings have done, counted from the start of the run: a text
// rendered with one line prefix is the text rendered with another when no
// line break but its own ones came in and nothing was read from a table or
// reported on the way.
struct RenderTrace {
  unsigned long line_breaks = 0;  // line breaks the rendering wrote before a prefix
  unsigned long table_reads = 0;  // bounds evaluated against a table, and reports
};
const RenderTrace &render_trace();
// Appends to out the text rendered between the traces `before` and `after`
// with an empty line prefix (its first line included) as rendering it again
// with `prefix` would, as long as that rendering reads the same: returns
// false, appending nothing, when it cannot tell.
bool rendered_again_with_prefix(const std::string &text, const RenderTrace &before, const RenderTrace &after,
                                const char *prefix, std::string &out);

// True for the member entry of the unnamed type of "union {...} w;", which
// the class lists before w: it is the type of the next member, not a member.
bool member_declares_next(const MemberNode *m);

// The specifier words of a declaration ("typedef ", "static inline " ...).
void storage_text(unsigned flags, std::string &out);
