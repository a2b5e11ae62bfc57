#pragma once
// Base of objects that can copy themselves from another through Assign and
// whose lifetime belongs to their owner, never to reference counts.

class TPersistent {
public:
  virtual ~TPersistent() = default;
};
