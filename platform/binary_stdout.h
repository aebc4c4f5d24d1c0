#pragma once

// Switches standard output to binary mode where the C library translates
// line ends; elsewhere nothing to do.
void SetBinaryStdout();
