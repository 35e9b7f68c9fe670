import { createContext } from 'react';

/** Counts the host's messages, its ticks included. */
export const SnapshotSerial = createContext(0);

/**
 * Whether a command posted at serial POSTED has had its answer by serial NOW: the host answers
 * every command with a snapshot, but a tick sent before it read the command may come first.
 */
export const answerCame = (posted: number, now: number): boolean => now - posted >= 2;
