// The running operation on its component's card: what it does, the host's step, progress
// (indeterminate at -1) and Cancel.
import { send } from './host';
import type { Operation } from './model';
import { operationTitle } from './text';

export function ProgressBar({ value, label }: { value: number; label: string }) {
  const known = value >= 0;
  return (
    <div className={known ? 'progress' : 'progress indeterminate'} role="progressbar" aria-label={label}
      aria-valuemin={0} aria-valuemax={100} aria-valuenow={known ? value : undefined}
      aria-valuetext={known ? `${value}%` : 'In progress'}>
      <div className="progress-fill" style={known ? { width: `${value}%` } : undefined} />
    </div>
  );
}

export function OperationPanel({ operation, name }: { operation: Operation; name: string }) {
  const title = operationTitle(operation.action, name);
  return (
    <div className="operation">
      <p className="operation-title">
        {title}
        {operation.progress >= 0 && <span className="percent">{operation.progress}%</span>}
      </p>
      <ProgressBar value={operation.progress} label={title} />
      <p className="operation-message">{operation.message || 'Starting…'}</p>
      <button type="button" onClick={() => send({ type: 'cancelOperation' })}>Cancel</button>
    </div>
  );
}
