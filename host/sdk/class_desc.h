// The host's class descriptors: how a module tells the host which classes
// it offers and creates their objects.
#pragma once

#include <windows.h>

#include "host/sdk/sdk_api.h"

class Interface;  // the host application; the stand-in host has none

// The category a class belongs to; image filters are 0x0E00.
using SClass_ID = ULONG;
constexpr SClass_ID kImageFilterSuperClassId = 0x0E00;

// A two-word identifier, unique per class.
class Class_ID {
 public:
  constexpr Class_ID(ULONG partA = 0, ULONG partB = 0) : a_(partA), b_(partB) {}
  constexpr ULONG PartA() const { return a_; }
  constexpr ULONG PartB() const { return b_; }
  constexpr bool operator==(const Class_ID& other) const {
    return a_ == other.a_ && b_ == other.b_;
  }

 private:
  ULONG a_;
  ULONG b_;
};

// A two-word identifier of an extension interface a class publishes.
struct Interface_ID {
  ULONG partA = 0;
  ULONG partB = 0;
  bool operator==(const Interface_ID& other) const {
    return partA == other.partA && partB == other.partB;
  }
};

// An extension interface, found through its descriptor by ID or name.
class FPInterface {
 public:
  virtual ~FPInterface() = default;
  virtual Interface_ID GetID() = 0;
  virtual const char* GetName() = 0;
};

// The base of every class descriptor, with its operations in the order the
// host calls them through. A descriptor supplies the first group; the rest
// are the host's defaults. The interface list starts empty and is released
// with zfree when the descriptor goes.
class SELVOSDK_API ClassDesc {
 public:
  ClassDesc();
  virtual ~ClassDesc();
  ClassDesc(const ClassDesc&) = delete;
  ClassDesc& operator=(const ClassDesc&) = delete;

  virtual int IsPublic() = 0;
  virtual void* Create(BOOL loading) = 0;  // the new object, or null
  virtual int BeginCreate(Interface* host) = 0;
  virtual int EndCreate(Interface* host) = 0;
  virtual const char* ClassName() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual Class_ID ClassID() = 0;
  virtual const char* Category() = 0;

  // A string of the descriptor's own resources; the default knows none.
  virtual const char* GetRsrcString(long id);
  virtual FPInterface* GetInterface(Interface_ID id);  // null when absent
  virtual FPInterface* GetInterface(const char* name);
  virtual void AddInterface(FPInterface* extension);
  virtual int NumInterfaces();
  virtual FPInterface* GetInterfaceAt(int index);  // null out of range

 private:
  FPInterface** interfaces_ = nullptr;  // malloc'd, released with zfree
  int interfaceCount_ = 0;
};
