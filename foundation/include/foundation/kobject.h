// The root of the library's class tree.
#ifndef FOUNDATION_KOBJECT_H_
#define FOUNDATION_KOBJECT_H_

namespace zorl {

class KObject {
 public:
  virtual ~KObject() = default;
};

}  // namespace zorl

#endif  // FOUNDATION_KOBJECT_H_
