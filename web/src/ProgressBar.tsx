// A progress bar of 0 to 100, indeterminate at -1.
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
