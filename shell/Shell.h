#pragma once
// The application shell: the driver of a run, shared by both front ends.
