// WeakFlag: the object whose shared-ownership record tells weak callbacks
// whether their target is still alive. It carries no data.
#pragma once

namespace qbase {

class WeakFlag {};

}  // namespace qbase
