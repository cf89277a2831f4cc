// Placeholder; filled in by its area's work.
#pragma once
