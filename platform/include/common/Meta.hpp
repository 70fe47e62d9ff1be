/* Graphics framework: lists of types, and the largest type of a list, for sizing the static
 * memory of the screens. */
#ifndef TOUCHGFX_COMMON_META_HPP
#define TOUCHGFX_COMMON_META_HPP

namespace touchgfx {
namespace meta {

/* The end of a type list. */
struct Nil {};

template <typename First, typename Next>
struct TypeList {
  typedef First first;
  typedef Next next;
};

/* The larger of two types (the first when they are as large). */
template <typename T1, typename T2, bool choose1 = (sizeof(T1) >= sizeof(T2))>
struct type_max {
  typedef T1 type;
};
template <typename T1, typename T2>
struct type_max<T1, T2, false> {
  typedef T2 type;
};

/* The largest type of a list. */
template <typename T>
struct select_type_maxsize {
  typedef T type;
};
template <typename First>
struct select_type_maxsize<TypeList<First, Nil> > {
  typedef First type;
};
template <typename First, typename Next>
struct select_type_maxsize<TypeList<First, Next> > {
  typedef typename type_max<First, typename select_type_maxsize<Next>::type>::type type;
};

/* The strictest alignment of a list. */
template <typename T>
struct select_type_maxalign {
  static const unsigned value = alignof(T);
};
template <typename First>
struct select_type_maxalign<TypeList<First, Nil> > {
  static const unsigned value = alignof(First);
};
template <typename First, typename Next>
struct select_type_maxalign<TypeList<First, Next> > {
  static const unsigned next = select_type_maxalign<Next>::value;
  static const unsigned value = alignof(First) > next ? alignof(First) : next;
};

/* Two lists joined. */
template <typename T1, typename T2>
struct list_join;
template <typename T2>
struct list_join<Nil, T2> {
  typedef T2 result;
};
template <typename First, typename Next, typename T2>
struct list_join<TypeList<First, Next>, T2> {
  typedef TypeList<First, typename list_join<Next, T2>::result> result;
};

}  // namespace meta
}  // namespace touchgfx

#endif
