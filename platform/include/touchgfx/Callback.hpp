/* Graphics framework: callbacks. A GenericCallback is what a widget calls (a button's action,
 * a slider's new value, a pending screen transition); a Callback binds one to a member
 * function of an object. Up to three arguments. */
#ifndef TOUCHGFX_CALLBACK_HPP
#define TOUCHGFX_CALLBACK_HPP

namespace touchgfx {

template <class T1 = void, class T2 = void, class T3 = void>
class GenericCallback {
 public:
  virtual ~GenericCallback() {}
  virtual void execute(T1 val1, T2 val2, T3 val3) = 0;
  virtual bool isValid() const = 0;
};

template <class T1, class T2>
class GenericCallback<T1, T2, void> {
 public:
  virtual ~GenericCallback() {}
  virtual void execute(T1 val1, T2 val2) = 0;
  virtual bool isValid() const = 0;
};

template <class T1>
class GenericCallback<T1, void, void> {
 public:
  virtual ~GenericCallback() {}
  virtual void execute(T1 val1) = 0;
  virtual bool isValid() const = 0;
};

template <>
class GenericCallback<void, void, void> {
 public:
  virtual ~GenericCallback() {}
  virtual void execute() = 0;
  virtual bool isValid() const = 0;
};

template <class dest_type, typename T1 = void, typename T2 = void, typename T3 = void>
struct Callback : public GenericCallback<T1, T2, T3> {
  Callback() : pobject(nullptr), pmemfun(nullptr) {}
  Callback(dest_type* object, void (dest_type::*memfun)(T1, T2, T3))
      : pobject(object), pmemfun(memfun) {}
  void execute(T1 t1, T2 t2, T3 t3) override { (pobject->*pmemfun)(t1, t2, t3); }
  bool isValid() const override { return pobject != nullptr && pmemfun != nullptr; }

 private:
  dest_type* pobject;
  void (dest_type::*pmemfun)(T1, T2, T3);
};

template <class dest_type, typename T1, typename T2>
struct Callback<dest_type, T1, T2, void> : public GenericCallback<T1, T2> {
  Callback() : pobject(nullptr), pmemfun(nullptr) {}
  Callback(dest_type* object, void (dest_type::*memfun)(T1, T2))
      : pobject(object), pmemfun(memfun) {}
  void execute(T1 t1, T2 t2) override { (pobject->*pmemfun)(t1, t2); }
  bool isValid() const override { return pobject != nullptr && pmemfun != nullptr; }

 private:
  dest_type* pobject;
  void (dest_type::*pmemfun)(T1, T2);
};

template <class dest_type, typename T1>
struct Callback<dest_type, T1, void, void> : public GenericCallback<T1> {
  Callback() : pobject(nullptr), pmemfun(nullptr) {}
  Callback(dest_type* object, void (dest_type::*memfun)(T1)) : pobject(object), pmemfun(memfun) {}
  void execute(T1 t1) override { (pobject->*pmemfun)(t1); }
  bool isValid() const override { return pobject != nullptr && pmemfun != nullptr; }

 private:
  dest_type* pobject;
  void (dest_type::*pmemfun)(T1);
};

template <class dest_type>
struct Callback<dest_type, void, void, void> : public GenericCallback<> {
  Callback() : pobject(nullptr), pmemfun(nullptr) {}
  Callback(dest_type* object, void (dest_type::*memfun)()) : pobject(object), pmemfun(memfun) {}
  void execute() override { (pobject->*pmemfun)(); }
  bool isValid() const override { return pobject != nullptr && pmemfun != nullptr; }

 private:
  dest_type* pobject;
  void (dest_type::*pmemfun)();
};

}  // namespace touchgfx

#endif
