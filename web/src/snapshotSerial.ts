import { createContext } from 'react';

/** Counts the snapshots received: a pressed button is pending until this changes. */
export const SnapshotSerial = createContext(0);
